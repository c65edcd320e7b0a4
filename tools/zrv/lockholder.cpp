#include "lockholder.h"

#include <QStringList>

QByteArray LockHolder::encode() const
{
    return QStringLiteral("zrv-lock 1\npid %1\nhost %2\nsince %3\nrefreshed %4\ntoken %5\n")
        .arg(pid)
        .arg(host, since.toUTC().toString(Qt::ISODate), refreshed.toUTC().toString(Qt::ISODate),
             QString::fromLatin1(token))
        .toUtf8();
}

std::optional<LockHolder> LockHolder::decode(const QByteArray& bytes)
{
    if (bytes.size() > Limit)
        return std::nullopt;
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.value(0) != QLatin1String("zrv-lock 1"))
        return std::nullopt;
    LockHolder holder;
    bool pidRead = false;
    for (const QString& line : lines.mid(1)) {
        const QString key = line.section(QLatin1Char(' '), 0, 0);
        const QString value = line.section(QLatin1Char(' '), 1);
        if (key == QLatin1String("pid"))
            holder.pid = value.toLongLong(&pidRead);
        else if (key == QLatin1String("host"))
            holder.host = value;
        else if (key == QLatin1String("since"))
            holder.since = QDateTime::fromString(value, Qt::ISODate);
        else if (key == QLatin1String("refreshed"))
            holder.refreshed = QDateTime::fromString(value, Qt::ISODate);
        else if (key == QLatin1String("token"))
            holder.token = value.toLatin1();
    }
    // Whole seconds, as written.
    holder.since = holder.since.addMSecs(-holder.since.time().msec());
    holder.refreshed = holder.refreshed.addMSecs(-holder.refreshed.time().msec());
    if (!pidRead || holder.pid <= 0 || holder.host.isEmpty() || !holder.since.isValid() || !holder.refreshed.isValid()
        || holder.token.isEmpty())
        return std::nullopt;
    return holder;
}
