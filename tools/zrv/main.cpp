// zrv: containers, block-level backups and cloud objects from the shell.
#include "command.h"
#include "commands.h"
#include "toolerror.h"

#include "core/exception/base.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

void say(FILE* stream, const QString& text)
{
    fputs(qPrintable(text), stream);
    fflush(stream);
}

QString overview(const std::vector<std::unique_ptr<Command>>& commands)
{
    QString text = QStringLiteral("Usage: zrv COMMAND [options] ARGUMENTS\n\nCommands:\n");
    for (const auto& command : commands)
        text += QStringLiteral("  %1%2\n").arg(command->name(), -10).arg(command->description());
    text += QStringLiteral("\n'zrv COMMAND --help' describes a command. Exit codes: 0 success, 1 failure, "
                           "2 usage error.\n");
    return text;
}

int runCommand(const Command& command, QStringList arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(command.description());
    parser.addHelpOption();
    parser.addOption({{QStringLiteral("q"), QStringLiteral("quiet")}, QStringLiteral("Show no progress.")});
    parser.addOption({{QStringLiteral("v"), QStringLiteral("verbose")}, QStringLiteral("Show the library's log.")});
    command.addOptions(parser);
    for (const QString& argument : command.arguments().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        parser.addPositionalArgument(argument, QString());

    if (!parser.parse(arguments))
        throw ToolError(ToolError::Usage, parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.optionNames().contains(QLatin1String("help-all"))) {
        // Qt names the program by its path; users type the command.
        QString help = parser.helpText();
        help.replace(0, help.indexOf(QLatin1Char('\n')),
                     QStringLiteral("Usage: zrv %1 [options] %2").arg(command.name(), command.arguments()));
        say(stdout, help);
        return 0;
    }
    const int count = parser.positionalArguments().size();
    if (count < command.minimumArguments() || count > command.maximumArguments())
        throw ToolError(
            ToolError::Usage,
            QStringLiteral("usage: zrv %1 [options] %2 (see zrv %1 --help)").arg(command.name(), command.arguments()));
    if (!parser.isSet(QStringLiteral("verbose")))
        QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    return command.run(parser);
}

} // namespace

int main(int argc, char** argv)
{
    // Everything the tool creates is private to its user: repositories, keys, restored images.
    umask(077);
    // Block work allocates and frees buffers of a block and more by the thousand per second. By
    // default glibc hands such buffers back to the kernel (mmap, heap trimming) and faults them in
    // again on the next block, which cost a third of a backup's CPU time; the process keeps what
    // it used instead, which the streams' read-ahead bounds. bench/blocklevel.sh sets the same.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zrv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZRV_VERSION));

    const auto commands = allCommands();
    QStringList arguments = QCoreApplication::arguments();
    const QString first = arguments.value(1);
    if (first.isEmpty() || first == QLatin1String("--help") || first == QLatin1String("-h")) {
        say(first.isEmpty() ? stderr : stdout, overview(commands));
        return first.isEmpty() ? ToolError::Usage : 0;
    }
    if (first == QLatin1String("--version")) {
        say(stdout, QStringLiteral("zrv %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    }

    try {
        for (const auto& command : commands) {
            if (command->name() == first) {
                arguments.removeAt(0);
                return runCommand(*command, arguments);
            }
        }
        throw ToolError(ToolError::Usage, QStringLiteral("unknown command '%1' (see zrv --help)").arg(first));
    } catch (const ToolError& error) {
        say(stderr, QStringLiteral("zrv: %1\n").arg(error.message()));
        return error.exitCode();
    } catch (const ZRV::Exception::Base& error) {
        say(stderr, QStringLiteral("zrv: %1\n").arg(error.message()));
    } catch (const std::exception& error) {
        say(stderr, QStringLiteral("zrv: %1\n").arg(QString::fromUtf8(error.what())));
    }
    return ToolError::Failure;
}
