// Pulls a file through a named chain of the library's streams (or runs a command over it) and
// prints the wall time, the byte counts and the peak resident memory of the work.
//
//   zrvbench list
//   zrvbench <chain> <input> <output> [read-size]   read-size defaults to 1 MiB
//       ZRVBENCH_WORKERS=N gives the chain's streams N workers (default 1).
//   zrvbench exec <input> <output> <command> [arguments...] [| <command> [arguments...]]...
//                 [3> <command> [arguments...]]
//       The commands form a pipeline from input to output, one process each. The command after
//       "3>" reads what the pipeline's commands write to file descriptor 3 (a side branch, such
//       as a digest fed by "tee /dev/fd/3"); its own output is discarded.
//
// Result line: seconds=<s> cpu=<s> in=<bytes> out=<bytes> mibps=<larger side per second> rss_kib=<peak>
// cpu is the user and system time of the work (of a command: of all its processes), which on a
// shared machine depends far less on the load than the wall time. For a pipeline rss_kib is the
// sum of the commands' peaks, since they run side by side.

#include "chainregistry.h"

#include "core/exception/base.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
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
    double cpuSeconds;
    qint64 in;
    qint64 out;
    long peakRssKib;
};

int print(const Result& result)
{
    const double larger = double(qMax(result.in, result.out));
    std::printf("seconds=%.4f cpu=%.4f in=%lld out=%lld mibps=%.1f rss_kib=%ld\n", result.seconds, result.cpuSeconds,
                result.in, result.out, larger / 1048576.0 / result.seconds, result.peakRssKib);
    return 0;
}

double cpuSeconds(const rusage& usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int fail(const QString& text)
{
    std::fprintf(stderr, "zrvbench: %s\n", qPrintable(text));
    return 1;
}

// Reads the top stream until atEnd() into output; returns why that failed, or an empty string.
// A read may yield nothing before the end (an incremental backup of unchanged blocks).
QString pull(QIODevice& top, QFile& output, std::vector<char>& buffer)
{
    if (!top.open(QIODevice::ReadOnly))
        return top.errorString();
    while (!top.atEnd()) {
        const qint64 count = top.read(buffer.data(), qint64(buffer.size()));
        // A stream that fails closes itself or returns -1.
        if (count < 0 || !top.isOpen())
            return top.errorString();
        if (output.write(buffer.data(), count) != count)
            return output.errorString();
    }
    if (top.errorString() != QFile().errorString())
        return top.errorString();
    return QString();
}

int runChain(const ChainRegistry::Chain& chain, const QString& inputPath, const QString& outputPath, qint64 readSize)
{
    auto input = QSharedPointer<QFile>::create(inputPath);
    QFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return fail(output.errorString());
    std::vector<char> buffer(static_cast<size_t>(readSize));

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer timer;
    timer.start();
    QString failure;
    try {
        QSharedPointer<QIODevice> top = chain.build({input, outputPath, qMax(1, qEnvironmentVariableIntValue("ZRVBENCH_WORKERS"))});
        failure = pull(*top, output, buffer);
        if (failure.isEmpty() && chain.check)
            failure = chain.check(*top);
        // Releasing the chain finishes what its stages write on their own (a block map's final header).
        top.reset();
    } catch (const ZRV::Exception::Base& e) {
        failure = e.message();
    }
    output.close();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!failure.isEmpty())
        return fail(failure);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return print({seconds, cpuSeconds(usage) - cpuSeconds(before), input->size(), QFileInfo(outputPath).size(),
                  usage.ru_maxrss});
}

// Makes fd the descriptor target of a child about to exec, open across the exec.
bool moveTo(int fd, int target)
{
    if (fd == target)
        return fcntl(fd, F_SETFD, 0) == 0;
    return dup2(fd, target) == target;
}

// Starts command with the given standard input and output, and the side branch's write end as
// descriptor 3 when there is one. Every other descriptor of ours is close-on-exec.
pid_t start(char** command, int in, int out, int side)
{
    const pid_t child = fork();
    if (child == 0) {
        if (!moveTo(in, 0) || !moveTo(out, 1) || (side >= 0 && !moveTo(side, 3)))
            _exit(126);
        execvp(command[0], command);
        _exit(127);
    }
    return child;
}

int runCommand(const char* inputPath, const char* outputPath, int wordCount, char** words)
{
    // Split the words into the pipeline's commands and the side branch, each null-terminated.
    std::vector<std::vector<char*>> stages(1);
    std::vector<char*> side;
    std::vector<char*>* current = &stages.back();
    for (int i = 0; i < wordCount; ++i) {
        if (std::strcmp(words[i], "|") == 0 && current != &side) {
            current->push_back(nullptr);
            stages.emplace_back();
            current = &stages.back();
        } else if (std::strcmp(words[i], "3>") == 0 && current != &side) {
            current = &side;
        } else {
            current->push_back(words[i]);
        }
    }
    for (auto* command : {&stages.back(), &side})
        command->push_back(nullptr);
    for (const auto& command : stages)
        if (command.size() < 2)
            return fail("empty command in the pipeline");

    QElapsedTimer timer;
    timer.start();
    int sidePipe[2] = {-1, -1};
    if (side.size() > 1 && pipe2(sidePipe, O_CLOEXEC) != 0)
        return fail("cannot make a pipe");
    int in = open(inputPath, O_RDONLY | O_CLOEXEC);
    const int out = open(outputPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (in < 0 || out < 0)
        return fail("cannot open the input or the output");
    std::vector<pid_t> children;
    for (size_t i = 0; i < stages.size(); ++i) {
        int next[2] = {-1, -1};
        const bool last = i + 1 == stages.size();
        if (!last && pipe2(next, O_CLOEXEC) != 0)
            return fail("cannot make a pipe");
        children.push_back(start(stages[i].data(), in, last ? out : next[1], sidePipe[1]));
        close(in);
        if (!last)
            close(next[1]);
        in = next[0];
    }
    close(out);
    if (sidePipe[0] >= 0) {
        close(sidePipe[1]);
        const int discard = open("/dev/null", O_WRONLY | O_CLOEXEC);
        children.push_back(start(side.data(), sidePipe[0], discard, -1));
        close(sidePipe[0]);
        close(discard);
    }

    long peakRssKib = 0;
    double cpu = 0;
    QString failure;
    for (const pid_t child : children) {
        int status = 0;
        rusage usage{};
        if (child < 0 || wait4(child, &status, 0, &usage) != child) {
            failure = "cannot run a command";
            continue;
        }
        peakRssKib += usage.ru_maxrss;
        cpu += cpuSeconds(usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            failure = QString("a command of the pipeline failed with status %1").arg(status);
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!failure.isEmpty())
        return fail(failure);
    return print({seconds, cpu, QFileInfo(inputPath).size(), QFileInfo(outputPath).size(), peakRssKib});
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
        return runCommand(argv[2], argv[3], argc - 4, argv + 4);
    const auto chain = ChainRegistry::chains().find(command);
    if (chain != ChainRegistry::chains().end() && (argc == 4 || argc == 5)) {
        const qint64 readSize = argc == 5 ? QByteArray(argv[4]).toLongLong() : 1048576;
        if (readSize <= 0)
            return fail("the read size must be positive");
        return runChain(chain->second, argv[2], argv[3], readSize);
    }
    return fail("usage: zrvbench list | <chain> <input> <output> [read-size] | exec <input> <output> <command...> "
                "[| <command...>]... [3> <command...>]");
}
