#include "chainregistry.h"
#include "usagemarkedfile.h"

#include "blocklevel/datastreamibb.h"
#include "blocklevel/differentialfiledatastream.h"
#include "blocklevel/mapstream.h"
#include "blocklevel/revisionstream.h"

#include <QDir>
#include <QFileInfo>

using namespace ZRV::Stream::BlockLevel;

namespace {

const QByteArray password = "zrvbench password";

// A repository is a folder holding, for each revision N, N.data (its stored blocks) and N.map
// (its block map).
QString revisionFile(const QDir& repository, unsigned int revision, const char* suffix)
{
    return repository.filePath(QString("%1.%2").arg(revision).arg(suffix));
}

QSharedPointer<MapStream> mapOf(const QDir& repository, unsigned int revision)
{
    return QSharedPointer<MapStream>::create(
        QSharedPointer<QFile>::create(revisionFile(repository, revision, "map")), revision, nullptr);
}

// The output names the revision to take (<repository>/<N>.data); its map goes beside it, and
// revision N - 1's map, when N > 0, makes the run incremental. LZ4 and AES-256.
template <class Stream>
QSharedPointer<QIODevice> backup(const ChainRegistry::Context& run, QSharedPointer<QIODevice> source)
{
    const QFileInfo output(run.outputPath);
    const unsigned int revision = output.completeBaseName().toUInt();
    const QSharedPointer<MapStream> previous = revision > 0 ? mapOf(output.dir(), revision - 1) : nullptr;
    return QSharedPointer<Stream>::create(source, mapOf(output.dir(), revision), previous,
                                          ZRV::Core::Compression::Lz4, ZRV::Core::Encryption::Aes256, password,
                                          nullptr);
}

// The image's usage map is <image>.used.
QSharedPointer<QIODevice> backupIbb(const ChainRegistry::Context& run)
{
    const QString image = run.input->fileName();
    return backup<DataStreamIbb>(
        run, QSharedPointer<UsageMarkedFile>::create(image, image + ".used", MapStream::Header::DefaultBlockSize));
}

QSharedPointer<QIODevice> backupFile(const ChainRegistry::Context& run)
{
    return backup<DifferentialFileDataStream>(run, run.input);
}

// The input is <repository>/<N>.map; the data of revisions 0 to N lie beside it.
QSharedPointer<QIODevice> restore(const ChainRegistry::Context& run)
{
    const QFileInfo map(run.input->fileName());
    const unsigned int revision = map.completeBaseName().toUInt();
    QMap<unsigned int, QSharedPointer<QIODevice>> revisions;
    for (unsigned int stored = 0; stored <= revision; ++stored)
        revisions.insert(stored, QSharedPointer<QFile>::create(revisionFile(map.dir(), stored, "data")));
    return QSharedPointer<RevisionStream>::create(QSharedPointer<MapStream>::create(run.input, revision, nullptr),
                                                  revisions, password, nullptr);
}

const ChainRegistry::Registration chains[] = {
    {"bl-backup-ibb", "image with usage map -> DataStreamIbb(LZ4, AES-256) -> <repo>/<N>.data, map beside it",
     backupIbb},
    {"bl-backup-file", "image -> DifferentialFileDataStream(LZ4, AES-256) -> <repo>/<N>.data, map beside it",
     backupFile},
    {"bl-restore", "<repo>/<N>.map and the revisions' data -> RevisionStream", restore},
};

} // namespace
