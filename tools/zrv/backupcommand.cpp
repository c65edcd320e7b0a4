#include "backupcommand.h"

#include "backuprepository.h"
#include "passwordsource.h"
#include "privatefile.h"
#include "progressmeter.h"
#include "pump.h"
#include "sourcedevice.h"

#include "blocklevel/datastreamibb.h"
#include "blocklevel/differentialfiledatastream.h"
#include "blocklevel/mapstream.h"
#include "blocklevel/revisionstream.h"

#include <QFile>
#include <cstdio>

using namespace ZRV::Stream::BlockLevel;

namespace {

// Reads back the header the map stream wrote last, so a failed final header write cannot leave a
// map that names another revision, length or block count than the run produced.
void checkWrittenMap(const QString& path, const QString& target, const MapStream& written, const RepositoryKeys& keys)
{
    auto file = QSharedPointer<QFile>::create(path);
    MapStream map(file, written.revision(), nullptr);
    if (keys.isValid())
        map.setRepositoryKeys(keys);
    const bool same = file->open(QIODevice::ReadOnly) && map.open(QIODevice::ReadOnly)
        && map.revision() == written.revision() && map.length() == written.length()
        && map.blockCount() == written.blockCount()
        // An authenticated map opens only when its length is exact and its MAC holds.
        && (keys.isValid()
            || quint64(file->size()) == quint64(map.pos()) + map.blockCount() * MapStream::Data::DataBlockSize);
    if (!same)
        throw ToolError(ToolError::Failure,
                        QStringLiteral("cannot write %1: the map read back differs from what "
                                       "was written")
                            .arg(target));
}

} // namespace

QString BackupCommand::description() const
{
    return QStringLiteral("Add a revision of SOURCE (a file, a block device, a FIFO, or - for standard input) to "
                          "the repository REPO made by zrv init, storing only the blocks that changed since the "
                          "newest revision.");
}

void BackupCommand::addOptions(QCommandLineParser& parser) const
{
    parser.addOption({QStringLiteral("variant"),
                      QStringLiteral("file: read SOURCE as a plain file; image: a disk image whose holes (or, where "
                                     "the source cannot tell holes, zero blocks) are recorded as unused blocks "
                                     "(default file)."),
                      QStringLiteral("file|image"), QStringLiteral("file")});
    addSettingOptions(parser, false);
    parser.addOption(passwordFileOption());
    parser.addOption(jobsOption());
    parser.addOption({QStringLiteral("lock-wait"),
                      QStringLiteral("Wait up to SECONDS for another backup into REPO to end (default: fail at once)."),
                      QStringLiteral("SECONDS"), QStringLiteral("0")});
}

int BackupCommand::run(const QCommandLineParser& parser) const
{
    const bool image = choiceOption<bool>(parser, QStringLiteral("variant"), {{"file", false}, {"image", true}});
    const int lockWait = int(qMin<qint64>(numberOption(parser, QStringLiteral("lock-wait"), 0), 1 << 20));
    const int workers = jobs(parser);
    const QString sourcePath = parser.positionalArguments().at(0);
    const BackupRepository repository(parser.positionalArguments().at(1), PasswordSource(passwordFile(parser)));
    const RepositorySettings settings = repository.settings();
    checkSettingOptions(parser, settings, repository.path());
    const QByteArray password = repository.password();
    const RepositoryKeys keys = repository.keys();

    const auto lock = repository.lock(lockWait);
    for (const QString& leftover : repository.removeLeftovers())
        fprintf(stderr, "zrv: removed %s, left by an interrupted run\n", qPrintable(leftover));

    // The number is decided once; every file of the run is created under it, none replaced.
    const unsigned int previous = repository.newestRevision();
    const unsigned int revision = previous + 1;
    QSharedPointer<MapStream> inMap;
    if (previous) {
        QStringList missing;
        for (const auto& problem : repository.missingData(previous))
            missing << QStringLiteral("%1: %2").arg(problem.first, problem.second);
        if (!missing.isEmpty())
            throw ToolError(ToolError::Failure,
                            QStringLiteral("revision %1 cannot be continued: %2 (zrv check %3 "
                                           "tells more)")
                                .arg(previous)
                                .arg(missing.join(QLatin1String("; ")), repository.path()));
        inMap = repository.openMap(previous);
        if (inMap->useEncryption() != settings.encrypted())
            throw ToolError(ToolError::Failure,
                            QStringLiteral("%1 is %2 although the repository is %3 (zrv check %4)")
                                .arg(repository.mapPath(previous),
                                     inMap->useEncryption() ? QStringLiteral("encrypted") : QStringLiteral("plain"),
                                     settings.encrypted() ? QStringLiteral("encrypted") : QStringLiteral("plain"),
                                     repository.path()));
        // An authenticated map opened only because the keys matched it.
        const auto check = keys.isValid() ? qMakePair(true, QString()) : RevisionStream::checkPassword(inMap, password);
        if (!check.first)
            throw ToolError(
                ToolError::Failure,
                QStringLiteral("the password does not open %1: %2").arg(repository.mapPath(previous), check.second));
    }

    const auto source = QSharedPointer<SourceDevice>::create(sourcePath, image);
    if (!source->open(QIODevice::ReadOnly))
        throw ToolError(ToolError::Failure, source->errorString());

    const QSharedPointer<PendingFile> mapFile(
        repository.store().createFile(BackupRepository::mapName(revision), false).release());
    if (!mapFile->open(QIODevice::ReadWrite))
        throw ToolError(ToolError::Failure, mapFile->errorString());
    const auto outMap = QSharedPointer<MapStream>::create(mapFile, revision, nullptr);
    outMap->setBlockSize(settings.blockSize());

    QSharedPointer<DataStream> data;
    if (image)
        data = QSharedPointer<DataStreamIbb>::create(source, outMap, inMap, settings.compression(), settings.cipher(),
                                                     password, nullptr);
    else
        data = QSharedPointer<DifferentialFileDataStream>::create(source, outMap, inMap, settings.compression(),
                                                                  settings.cipher(), password, nullptr);
    if (keys.isValid())
        data->setRepositoryKeys(keys);
    data->setWorkerCount(workers);
    // A sequential source of known size (a block device, a pipe from a known file) is held to it.
    if (source->isSequential() && source->size() > 0)
        data->setSourceSize(source->size());
    if (!data->open(QIODevice::ReadOnly))
        throw ToolError(
            ToolError::Failure,
            QStringLiteral("cannot back up %1: %2")
                .arg(sourcePath, data->errorString().isEmpty() ? source->errorString() : data->errorString()));
    if (outMap->revision() != revision)
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 continues as revision %2 instead of %3; nothing was "
                                       "written (zrv check %4)")
                            .arg(repository.mapPath(previous))
                            .arg(outMap->revision())
                            .arg(revision)
                            .arg(repository.path()));
    const bool full = data->isFull();

    const std::unique_ptr<PendingFile> stored =
        repository.store().createFile(BackupRepository::dataName(revision), true);
    if (!stored->open(QIODevice::WriteOnly))
        throw ToolError(ToolError::Failure, stored->errorString());
    ProgressMeter progress(QStringLiteral("backup"), source->size(), quiet(parser));
    const qint64 storedBytes = pump(*data, stored.get(), progress, qMax<qint64>(1 << 20, outMap->blockSize()));
    if (!outMap->finish())
        throw ToolError(ToolError::Failure,
                        QStringLiteral("cannot write %1: %2").arg(repository.mapPath(revision), outMap->errorString()));
    checkWrittenMap(mapFile->temporaryPath(), repository.mapPath(revision), *outMap, keys);

    // The data first, then the map: the revision exists once its map does.
    stored->commit();
    try {
        lock->confirm();
        mapFile->commit();
    } catch (...) {
        // The data is ours and no map refers to it yet.
        repository.store().remove(BackupRepository::dataName(revision));
        throw;
    }
    if (!quiet(parser))
        printf("revision %u (%s): %llu bytes in %llu blocks, %lld bytes stored\n", revision,
               full ? "full" : "incremental", outMap->length(), outMap->blockCount(), storedBytes);
    return 0;
}
