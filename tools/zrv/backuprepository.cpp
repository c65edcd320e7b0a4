#include "backuprepository.h"

#include "toolerror.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>

BackupRepository::BackupRepository(const QString& path, bool create)
    : directory_(path)
{
    if (create && !directory_.mkpath(QStringLiteral(".")))
        throw ToolError(ToolError::Failure, QStringLiteral("cannot create the repository %1").arg(path));
    if (!directory_.exists())
        throw ToolError(ToolError::Failure, QStringLiteral("there is no repository at %1").arg(path));
}

QList<unsigned int> BackupRepository::revisions() const
{
    static const QRegularExpression mapName(QStringLiteral("^(\\d{8})\\.map$"));
    QList<unsigned int> numbers;
    for (const QString& name : directory_.entryList({QStringLiteral("*.map")}, QDir::Files)) {
        const QRegularExpressionMatch match = mapName.match(name);
        if (match.hasMatch())
            numbers << match.captured(1).toUInt();
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

unsigned int BackupRepository::newestRevision() const
{
    const QList<unsigned int> numbers = revisions();
    return numbers.isEmpty() ? 0 : numbers.last();
}

QString BackupRepository::mapPath(unsigned int revision) const
{
    return directory_.filePath(QStringLiteral("%1.map").arg(revision, 8, 10, QLatin1Char('0')));
}

QString BackupRepository::dataPath(unsigned int revision) const
{
    return directory_.filePath(QStringLiteral("%1.data").arg(revision, 8, 10, QLatin1Char('0')));
}

QString BackupRepository::incomingMapPath() const
{
    return directory_.filePath(QStringLiteral(".incoming-%1.map").arg(QCoreApplication::applicationPid()));
}
