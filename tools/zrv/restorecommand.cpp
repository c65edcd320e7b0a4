#include "restorecommand.h"

#include "backuprepository.h"
#include "outputtarget.h"
#include "passwordsource.h"
#include "progressmeter.h"
#include "pump.h"

#include "blocklevel/mapstream.h"
#include "blocklevel/revisionstream.h"

#include <QFile>

using namespace ZRV::Stream::BlockLevel;

QString RestoreCommand::description() const
{
    return QStringLiteral("Rebuild one revision of the backup in REPO into OUT (- is standard output). A file "
                          "appears only once the whole revision was restored and checked.");
}

void RestoreCommand::addOptions(QCommandLineParser& parser) const
{
    parser.addOption({QStringLiteral("revision"), QStringLiteral("The revision to restore (default: the newest)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("password-file"), QStringLiteral("Read the password from the first line of FILE."),
                      QStringLiteral("FILE")});
}

int RestoreCommand::run(const QCommandLineParser& parser) const
{
    const BackupRepository repository(parser.positionalArguments().at(0), false);
    const unsigned int revision = parser.isSet(QStringLiteral("revision"))
        ? unsigned(numberOption(parser, QStringLiteral("revision"), 1))
        : repository.newestRevision();
    if (!repository.revisions().contains(revision))
        throw ToolError(ToolError::Failure, revision ? QStringLiteral("there is no revision %1").arg(revision)
                                                     : QStringLiteral("the repository holds no revision"));

    auto map = QSharedPointer<MapStream>::create(QSharedPointer<QFile>::create(repository.mapPath(revision)), revision,
                                                 nullptr);
    if (!map->open(QIODevice::ReadOnly))
        throw ToolError(ToolError::Failure, QStringLiteral("cannot read the map of revision %1").arg(revision));
    const QByteArray password =
        map->useEncryption() ? PasswordSource(passwordFile(parser)).password(PasswordSource::Existing) : QByteArray();

    // Only the revisions this map refers to are opened.
    QMap<unsigned int, QSharedPointer<QIODevice>> stored;
    for (unsigned int referenced : MapStream::revisionRange(map).keys()) {
        auto file = QSharedPointer<QFile>::create(repository.dataPath(referenced));
        if (!file->open(QIODevice::ReadOnly))
            throw ToolError(ToolError::Failure, QStringLiteral("revision %1 needs the data of revision %2: %3")
                                                    .arg(revision)
                                                    .arg(referenced)
                                                    .arg(file->errorString()));
        stored.insert(referenced, file);
    }

    RevisionStream restored(map, stored, password, nullptr);
    if (!restored.open(QIODevice::ReadOnly))
        throw ToolError(ToolError::Failure,
                        QStringLiteral("cannot restore revision %1: %2").arg(revision).arg(restored.errorString()));
    OutputTarget target(parser.positionalArguments().at(1));
    ProgressMeter progress(QStringLiteral("restore"), restored.size(), quiet(parser));
    pump(restored, &target.device(), progress);
    target.commit();
    return 0;
}
