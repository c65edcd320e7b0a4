// Pulls a file through a named chain of the library's streams (or runs a command over it) and
// prints the wall time, the byte counts and the peak resident memory of the work.
//
//   zrvbench list
//   zrvbench <chain> <input> <output> [read-size]   read-size defaults to 1 MiB
//   zrvbench exec <input> <output> <command> [arguments...]   command reads stdin, writes stdout
//
// Result line: seconds=<s> in=<bytes> out=<bytes> mibps=<larger side per second> rss_kib=<peak>

#include "chainregistry.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Result
{
    double seconds;
    qint64 in;
    qint64 out;
    long peakRssKib;
};

int print(const Result& result)
{
    const double larger = double(qMax(result.in, result.out));
    std::printf("seconds=%.4f in=%lld out=%lld mibps=%.1f rss_kib=%ld\n", result.seconds, result.in, result.out,
                larger / 1048576.0 / result.seconds, result.peakRssKib);
    return 0;
}

int fail(const QString& text)
{
    std::fprintf(stderr, "zrvbench: %s\n", qPrintable(text));
    return 1;
}

int runChain(const ChainRegistry::Chain& chain, const QString& inputPath, const QString& outputPath, qint64 readSize)
{
    auto input = QSharedPointer<QFile>::create(inputPath);
    QFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return fail(output.errorString());
    std::vector<char> buffer(static_cast<size_t>(readSize));

    QElapsedTimer timer;
    timer.start();
    const QSharedPointer<QIODevice> top = chain.build(input);
    if (!top->open(QIODevice::ReadOnly))
        return fail(top->errorString());
    qint64 count = 0;
    while ((count = top->read(buffer.data(), readSize)) > 0)
        if (output.write(buffer.data(), count) != count)
            return fail(output.errorString());
    const qint64 in = input->size();
    top->close();
    output.close();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (count < 0 || top->errorString() != QFile().errorString())
        return fail(top->errorString());

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return print({seconds, in, QFileInfo(outputPath).size(), usage.ru_maxrss});
}

int runCommand(const char* inputPath, const char* outputPath, char** command)
{
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child == 0) {
        const int in = open(inputPath, O_RDONLY);
        const int out = open(outputPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0)
            _exit(126);
        execvp(command[0], command);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return fail("cannot run the command");
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return fail(QString("%1 failed with status %2").arg(command[0]).arg(status));
    return print({seconds, QFileInfo(inputPath).size(), QFileInfo(outputPath).size(), usage.ru_maxrss});
}

} // namespace

int main(int argc, char** argv)
{
    const QString command = argc > 1 ? argv[1] : "";
    if (command == "list" && argc == 2) {
        for (const auto& [name, chain] : ChainRegistry::chains())
            std::printf("%-24s %s\n", qPrintable(name), qPrintable(chain.description));
        return 0;
    }
    if (command == "exec" && argc >= 5)
        return runCommand(argv[2], argv[3], argv + 4);
    const auto chain = ChainRegistry::chains().find(command);
    if (chain != ChainRegistry::chains().end() && (argc == 4 || argc == 5)) {
        const qint64 readSize = argc == 5 ? QByteArray(argv[4]).toLongLong() : 1048576;
        if (readSize <= 0)
            return fail("the read size must be positive");
        return runChain(chain->second, argv[2], argv[3], readSize);
    }
    return fail("usage: zrvbench list | <chain> <input> <output> [read-size] | exec <input> <output> <command...>");
}
