#pragma once

#include "core/encryption/algorithm.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// One sub-command of the tool. The tool builds a parser with the options every command shares
// (--help, --quiet, -v) plus the command's own, checks the positional arguments, then runs it.
class Command
{
public:
    virtual ~Command() = default;

    virtual QString name() const = 0;
    // Positional arguments as shown in the usage line, e.g. "IN OUT".
    virtual QString arguments() const = 0;
    virtual QString description() const = 0;
    virtual void addOptions(QCommandLineParser& parser) const;
    // How many positional arguments the command takes, at least and at most.
    virtual int minimumArguments() const;
    virtual int maximumArguments() const;
    // Returns the exit code; throws ToolError or the library's exceptions on failure.
    virtual int run(const QCommandLineParser& parser) const = 0;

protected:
    static QCommandLineOption passwordFileOption();
    static QCommandLineOption allowUnencryptedOption();
    static QCommandLineOption jsonOption();
    static QCommandLineOption revisionOption(const QString& description);
    // --jobs N: how many blocks a command works on side by side.
    static QCommandLineOption jobsOption();
    // The --jobs given, else every core of the machine.
    static int jobs(const QCommandLineParser& parser);
    // The --revision given, 0 when none was.
    static unsigned int revision(const QCommandLineParser& parser);
    // --cipher, --compress and --block-size: what `zrv init` fixes, and what a backup may only repeat.
    static void addSettingOptions(QCommandLineParser& parser, bool withDefaults);
    // Throws a usage error when an option given contradicts the repository's settings.
    static void checkSettingOptions(const QCommandLineParser& parser, const class RepositorySettings& settings,
                                    const QString& repository);
    static QList<QPair<QString, ZRV::Core::Compression::Algorithm>> compressionChoices();
    static QString compressionName(int algorithm);

    static bool quiet(const QCommandLineParser& parser);
    static QString passwordFile(const QCommandLineParser& parser);
    // The value of an option that must be a whole number of at least `minimum`.
    static qint64 numberOption(const QCommandLineParser& parser, const QString& option, qint64 minimum);
    // The value of an option that must be one of `choices` (each mapped to a value).
    template <typename T>
    static T choiceOption(const QCommandLineParser& parser, const QString& option,
                          const QList<QPair<QString, T>>& choices);
};

#include "toolerror.h"

template <typename T>
T Command::choiceOption(const QCommandLineParser& parser, const QString& option,
                        const QList<QPair<QString, T>>& choices)
{
    const QString given = parser.value(option);
    QStringList names;
    for (const auto& choice : choices) {
        if (choice.first == given)
            return choice.second;
        names << choice.first;
    }
    throw ToolError(
        ToolError::Usage,
        QStringLiteral("--%1 takes one of %2, not '%3'").arg(option, names.join(QLatin1String(", ")), given));
}
