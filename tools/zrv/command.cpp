#include "command.h"

#include "cipherchoice.h"
#include "repositorysettings.h"

#include <QThread>

void Command::addOptions(QCommandLineParser&) const
{
}

int Command::minimumArguments() const
{
    return arguments().split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
}

int Command::maximumArguments() const
{
    return minimumArguments();
}

bool Command::quiet(const QCommandLineParser& parser)
{
    return parser.isSet(QStringLiteral("quiet"));
}

QString Command::passwordFile(const QCommandLineParser& parser)
{
    return parser.value(QStringLiteral("password-file"));
}

qint64 Command::numberOption(const QCommandLineParser& parser, const QString& option, qint64 minimum)
{
    bool ok = false;
    const qint64 value = parser.value(option).toLongLong(&ok);
    if (!ok || value < minimum)
        throw ToolError(ToolError::Usage,
                        QStringLiteral("--%1 takes a whole number of at least %2").arg(option).arg(minimum));
    return value;
}

QCommandLineOption Command::passwordFileOption()
{
    return {QStringLiteral("password-file"), QStringLiteral("Read the password from the first line of FILE."),
            QStringLiteral("FILE")};
}

void Command::addSettingOptions(QCommandLineParser& parser, bool withDefaults)
{
    const QString fixed = withDefaults ? QString() : QStringLiteral(" Fixed by zrv init; a backup may only repeat it.");
    parser.addOption({QStringLiteral("cipher"), CipherChoice::help(CipherChoice::backupCiphers()) + fixed,
                      QStringLiteral("cipher"), withDefaults ? QStringLiteral("aes256") : QString()});
    parser.addOption({QStringLiteral("compress"),
                      QStringLiteral("Block compression: lz4, gzip or none (default lz4).") + fixed,
                      QStringLiteral("lz4|gzip|none"), withDefaults ? QStringLiteral("lz4") : QString()});
    parser.addOption({QStringLiteral("block-size"), QStringLiteral("Block size (default 131072).") + fixed,
                      QStringLiteral("BYTES"), withDefaults ? QStringLiteral("131072") : QString()});
}

void Command::checkSettingOptions(const QCommandLineParser& parser, const RepositorySettings& settings,
                                  const QString& repository)
{
    const auto check = [&](const QString& option, const QString& given, const QString& recorded) {
        if (parser.isSet(option) && given != recorded)
            throw ToolError(ToolError::Usage,
                            QStringLiteral("%1 was made with --%2 %3 and keeps it (--%2 %4 given)")
                                .arg(repository, option, recorded, given));
    };
    if (parser.isSet(QStringLiteral("cipher")))
        choiceOption(parser, QStringLiteral("cipher"), CipherChoice::backupCiphers());
    if (parser.isSet(QStringLiteral("compress")))
        choiceOption(parser, QStringLiteral("compress"), compressionChoices());
    check(QStringLiteral("cipher"), parser.value(QStringLiteral("cipher")), CipherChoice::name(settings.cipher()));
    check(QStringLiteral("compress"), parser.value(QStringLiteral("compress")),
          compressionName(settings.compression()));
    check(QStringLiteral("block-size"), parser.value(QStringLiteral("block-size")),
          QString::number(settings.blockSize()));
}

QList<QPair<QString, ZRV::Core::Compression::Algorithm>> Command::compressionChoices()
{
    using namespace ZRV::Core::Compression;
    return {{"lz4", Lz4}, {"gzip", Gzip}, {"none", None}};
}

QString Command::compressionName(int algorithm)
{
    for (const auto& choice : compressionChoices()) {
        if (choice.second == algorithm)
            return choice.first;
    }
    return QString::number(algorithm);
}

QCommandLineOption Command::allowUnencryptedOption()
{
    return {QStringLiteral("allow-unencrypted"),
            QStringLiteral("Read an unencrypted container even though a password was given.")};
}

QCommandLineOption Command::revisionOption(const QString& description)
{
    return {QStringLiteral("revision"), description, QStringLiteral("N")};
}

unsigned int Command::revision(const QCommandLineParser& parser)
{
    // Revision numbers have eight digits in file names.
    return parser.isSet(QStringLiteral("revision"))
        ? unsigned(qMin<qint64>(numberOption(parser, QStringLiteral("revision"), 1), 99999999))
        : 0;
}

QCommandLineOption Command::jobsOption()
{
    return {QStringLiteral("jobs"),
            QStringLiteral("Work on N blocks side by side (default: one per core, %1 here).")
                .arg(QThread::idealThreadCount()),
            QStringLiteral("N")};
}

int Command::jobs(const QCommandLineParser& parser)
{
    // More workers than this only hold more blocks in memory.
    constexpr qint64 MostJobs = 256;
    return parser.isSet(QStringLiteral("jobs")) ? int(qMin(numberOption(parser, QStringLiteral("jobs"), 1), MostJobs))
                                                : qMax(QThread::idealThreadCount(), 1);
}

QCommandLineOption Command::jsonOption()
{
    return {QStringLiteral("json"), QStringLiteral("Print JSON instead of text.")};
}
