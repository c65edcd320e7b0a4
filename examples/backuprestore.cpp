// Backs up successive states of a disk image into a block-level repository, the first in full
// and each later one as the blocks that changed, then restores the newest revision:
//   ZRV_PASSWORD=... backuprestore REPOSITORY OUTPUT IMAGE...
// Revision N is REPOSITORY/N.map (its block map) and REPOSITORY/N.data (its stored blocks).
#include "blocklevel/datastreamibb.h"
#include "blocklevel/mapstream.h"
#include "blocklevel/revisionstream.h"
#include "core/exception/base.h"

#include <QDir>
#include <QFile>
#include <cstdio>

using namespace ZRV::Stream::BlockLevel;

namespace {

// Reads the stream to its end into a new file at path.
bool copyToFile(QIODevice& stream, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (!stream.atEnd()) {
        const qint64 count = stream.read(buffer.data(), buffer.size());
        if (count < 0 || file.write(buffer.constData(), count) != count)
            return false;
    }
    return file.flush();
}

int fail(const QString& what)
{
    std::fprintf(stderr, "backuprestore: %s\n", qPrintable(what));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: ZRV_PASSWORD=... backuprestore REPOSITORY OUTPUT IMAGE...\n");
        return 2;
    }
    const QDir repository(QString::fromLocal8Bit(argv[1]));
    const QString output = QString::fromLocal8Bit(argv[2]);
    const QByteArray password = qgetenv("ZRV_PASSWORD");
    if (password.isEmpty())
        return fail("set the password in ZRV_PASSWORD");
    if (!repository.mkpath("."))
        return fail(QStringLiteral("cannot create %1").arg(repository.path()));
    const auto mapFile = [&](unsigned int revision) {
        return QSharedPointer<QFile>::create(repository.filePath(QStringLiteral("%1.map").arg(revision)));
    };
    const auto dataPath = [&](unsigned int revision) {
        return repository.filePath(QStringLiteral("%1.data").arg(revision));
    };

    try {
        unsigned int revision = 0;
        for (int image = 3; image < argc; ++image) {
            ++revision;
            auto outMap = QSharedPointer<MapStream>::create(mapFile(revision), revision, nullptr);
            outMap->setBlockSize(64 * 1024);
            // Each revision after the first stores only the blocks that differ from the previous one.
            const auto inMap = revision > 1
                ? QSharedPointer<MapStream>::create(mapFile(revision - 1), revision - 1, nullptr)
                : QSharedPointer<MapStream>();
            DataStreamIbb stored(QSharedPointer<QFile>::create(QString::fromLocal8Bit(argv[image])), outMap, inMap,
                                 ZRV::Core::Compression::Lz4, ZRV::Core::Encryption::Aes256, password, nullptr);
            if (!stored.open(QIODevice::ReadOnly) || !copyToFile(stored, dataPath(revision)))
                return fail(QStringLiteral("cannot back up %1: %2").arg(argv[image], stored.errorString()));
            outMap->close();
            std::printf("revision %u: %s, %llu blocks\n", revision, stored.isFull() ? "full" : "incremental",
                        outMap->blockCount());
        }

        // A revision's map says which revisions hold its blocks.
        auto map = QSharedPointer<MapStream>::create(mapFile(revision), revision, nullptr);
        if (!map->open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read the map of revision %1").arg(revision));
        QMap<unsigned int, QSharedPointer<QIODevice>> revisions;
        for (unsigned int referenced : MapStream::revisionRange(map).keys())
            revisions.insert(referenced, QSharedPointer<QFile>::create(dataPath(referenced)));
        RevisionStream restored(map, revisions, password, nullptr);
        if (!restored.open(QIODevice::ReadOnly) || !copyToFile(restored, output))
            return fail(QStringLiteral("cannot restore revision %1: %2").arg(revision).arg(restored.errorString()));
        std::printf("restored revision %u into %s\n", revision, argv[2]);
    } catch (const ZRV::Exception::Base& error) {
        return fail(QString::fromUtf8(error.what()));
    }
    return 0;
}
