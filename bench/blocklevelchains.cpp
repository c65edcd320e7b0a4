#include "chainregistry.h"
#include "usagemarkedfile.h"

#include "blocklevel/datastreamibb.h"
#include "blocklevel/differentialfiledatastream.h"
#include "blocklevel/mapstream.h"
#include "blocklevel/revisionstream.h"
#include "encryption/keyderivation.h"

#include <QDir>
#include <QFileInfo>

using namespace ZRV::Stream::BlockLevel;

namespace {

const QByteArray password = "zrvbench password";

// The keys of an authenticated repository, derived as a run does: once, with the default count.
RepositoryKeys repositoryKeys()
{
    return {QByteArray(RepositoryKeys::IdLength, 'b'),
            ZRV::Encryption::KeyDerivation::passwordKey(password, "zrvbench salt 16",
                                                        ZRV::Encryption::KeyDerivation::DefaultIterations)};
}

// A repository is a folder holding, for each revision N, N.data (its stored blocks) and N.map
// (its block map).
QString revisionFile(const QDir& repository, unsigned int revision, const char* suffix)
{
    return repository.filePath(QString("%1.%2").arg(revision).arg(suffix));
}

QSharedPointer<MapStream> mapOf(const QDir& repository, unsigned int revision)
{
    return QSharedPointer<MapStream>::create(QSharedPointer<QFile>::create(revisionFile(repository, revision, "map")),
                                             revision, nullptr);
}

// The output names the revision to take (<repository>/<N>.data); its map goes beside it, and
// revision N - 1's map, when N > 0, makes the run incremental. LZ4 and AES-256.
// Keyed: an authenticated repository (version 5 maps, keyed block hashes).
template <class Stream>
QSharedPointer<QIODevice> backup(const ChainRegistry::Context& run, QSharedPointer<QIODevice> source,
                                 bool keyed = false)
{
    const QFileInfo output(run.outputPath);
    const unsigned int revision = output.completeBaseName().toUInt();
    const QSharedPointer<MapStream> previous = revision > 0 ? mapOf(output.dir(), revision - 1) : nullptr;
    auto stream =
        QSharedPointer<Stream>::create(source, mapOf(output.dir(), revision), previous, ZRV::Core::Compression::Lz4,
                                       ZRV::Core::Encryption::Aes256, password, nullptr);
    if (keyed)
        stream->setRepositoryKeys(repositoryKeys());
    stream->setWorkerCount(run.workers);
    return stream;
}

// The image's usage map is <image>.used.
QSharedPointer<QIODevice> backupIbb(const ChainRegistry::Context& run, bool keyed = false)
{
    const QString image = run.input->fileName();
    return backup<DataStreamIbb>(
        run, QSharedPointer<UsageMarkedFile>::create(image, image + ".used", MapStream::Header::DefaultBlockSize),
        keyed);
}

QSharedPointer<QIODevice> backupIbbKeyed(const ChainRegistry::Context& run)
{
    return backupIbb(run, true);
}

QSharedPointer<QIODevice> backupFile(const ChainRegistry::Context& run)
{
    return backup<DifferentialFileDataStream>(run, run.input);
}

QSharedPointer<QIODevice> backupFileKeyed(const ChainRegistry::Context& run)
{
    return backup<DifferentialFileDataStream>(run, run.input, true);
}

// The input is <repository>/<N>.map; the data of revisions 0 to N lie beside it.
QSharedPointer<RevisionStream> restoreStream(const ChainRegistry::Context& run)
{
    const QFileInfo map(run.input->fileName());
    const unsigned int revision = map.completeBaseName().toUInt();
    QMap<unsigned int, QSharedPointer<QIODevice>> revisions;
    for (unsigned int stored = 0; stored <= revision; ++stored)
        revisions.insert(stored, QSharedPointer<QFile>::create(revisionFile(map.dir(), stored, "data")));
    auto stream = QSharedPointer<RevisionStream>::create(
        QSharedPointer<MapStream>::create(run.input, revision, nullptr), revisions, password, nullptr);
    stream->setWorkerCount(run.workers);
    return stream;
}

QSharedPointer<QIODevice> restore(const ChainRegistry::Context& run)
{
    return restoreStream(run);
}

QSharedPointer<QIODevice> restoreKeyed(const ChainRegistry::Context& run)
{
    const QSharedPointer<RevisionStream> stream = restoreStream(run);
    stream->setRepositoryKeys(repositoryKeys());
    return stream;
}

const ChainRegistry::Registration chains[] = {
    {"bl-backup-ibb", "image with usage map -> DataStreamIbb(LZ4, AES-256) -> <repo>/<N>.data, map beside it",
     [](const ChainRegistry::Context& run) { return backupIbb(run); }},
    {"bl-backup-ibb-keyed",
     "image with usage map -> DataStreamIbb(LZ4, AES-256, authenticated repository) -> <repo>/<N>.data, map beside it",
     backupIbbKeyed},
    {"bl-backup-file", "image -> DifferentialFileDataStream(LZ4, AES-256) -> <repo>/<N>.data, map beside it",
     backupFile},
    {"bl-restore", "<repo>/<N>.map and the revisions' data -> RevisionStream", restore},
    {"bl-backup-file-keyed",
     "image -> DifferentialFileDataStream(LZ4, AES-256, authenticated repository) -> <repo>/<N>.data, map beside it",
     backupFileKeyed},
    {"bl-restore-keyed", "<repo>/<N>.map (authenticated repository) and the revisions' data -> RevisionStream",
     restoreKeyed},
};

} // namespace
