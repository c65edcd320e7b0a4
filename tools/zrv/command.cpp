#include "command.h"

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
