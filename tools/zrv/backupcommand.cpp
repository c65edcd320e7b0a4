#include "backupcommand.h"

#include "backuprepository.h"
#include "cipherchoice.h"
#include "outputtarget.h"
#include "passwordsource.h"
#include "progressmeter.h"
#include "pump.h"
#include "sparsefiledevice.h"

#include "blocklevel/datastreamibb.h"
#include "blocklevel/differentialfiledatastream.h"
#include "blocklevel/mapstream.h"
#include "blocklevel/revisionstream.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>

using namespace ZRV::Stream::BlockLevel;
using ZRV::Core::Compression::Algorithm;

QString BackupCommand::description() const
{
    return QStringLiteral("Add a revision of SOURCE to the block-level backup in REPO (created if missing), "
                          "storing only the blocks that changed since the newest revision.");
}

void BackupCommand::addOptions(QCommandLineParser& parser) const
{
    parser.addOption({QStringLiteral("variant"),
                      QStringLiteral("file: read SOURCE as a plain file; image: a disk image whose sparse "
                                     "holes are recorded as unused blocks (default file)."),
                      QStringLiteral("file|image"), QStringLiteral("file")});
    parser.addOption({QStringLiteral("block-size"),
                      QStringLiteral("Block size of a new chain (default 131072); later revisions keep it."),
                      QStringLiteral("BYTES"), QStringLiteral("131072")});
    parser.addOption({QStringLiteral("compress"), QStringLiteral("Block compression: lz4, gzip or none (default lz4)."),
                      QStringLiteral("lz4|gzip|none"), QStringLiteral("lz4")});
    parser.addOption({QStringLiteral("cipher"), CipherChoice::help(CipherChoice::backupCiphers()),
                      QStringLiteral("cipher"), QStringLiteral("aes256")});
    parser.addOption({QStringLiteral("password-file"), QStringLiteral("Read the password from the first line of FILE."),
                      QStringLiteral("FILE")});
}

int BackupCommand::run(const QCommandLineParser& parser) const
{
    const bool image = choiceOption<bool>(parser, QStringLiteral("variant"), {{"file", false}, {"image", true}});
    const qint64 blockSize = numberOption(parser, QStringLiteral("block-size"), 512);
    if (blockSize > 64 << 20)
        throw ToolError(ToolError::Usage, QStringLiteral("--block-size takes at most 67108864 bytes"));
    const Algorithm compression = choiceOption<Algorithm>(
        parser, QStringLiteral("compress"),
        {{"lz4", ZRV::Core::Compression::Lz4}, {"gzip", ZRV::Core::Compression::Gzip}, {"none", ZRV::Core::Compression::None}});
    const auto cipher = choiceOption(parser, QStringLiteral("cipher"), CipherChoice::backupCiphers());
    const QString sourcePath = parser.positionalArguments().at(0);

    const BackupRepository repository(parser.positionalArguments().at(1), true);
    const unsigned int previous = repository.newestRevision();
    const QByteArray password =
        cipher == ZRV::Core::Encryption::NoEncryption
            ? QByteArray()
            : PasswordSource(passwordFile(parser)).password(previous ? PasswordSource::Existing : PasswordSource::New);

    QSharedPointer<QIODevice> source;
    if (image)
        source = QSharedPointer<SparseFileDevice>::create(sourcePath);
    else
        source = QSharedPointer<QFile>::create(sourcePath);

    const QString incomingMap = repository.incomingMapPath();
    auto outMap = QSharedPointer<MapStream>::create(QSharedPointer<QFile>::create(incomingMap), previous + 1, nullptr);
    outMap->setBlockSize(unsigned(blockSize));
    const auto inMap = previous
        ? QSharedPointer<MapStream>::create(QSharedPointer<QFile>::create(repository.mapPath(previous)), previous, nullptr)
        : QSharedPointer<MapStream>();

    if (inMap && cipher != ZRV::Core::Encryption::NoEncryption) {
        // The library would start a new chain under a new key; an operator who mistyped wants to hear it.
        if (!inMap->open(QIODevice::ReadOnly))
            throw ToolError(ToolError::Failure, QStringLiteral("cannot read revision %1").arg(previous));
        const auto check = RevisionStream::checkPassword(inMap, password);
        if (inMap->useEncryption() && !check.first)
            throw ToolError(ToolError::Failure,
                            QStringLiteral("the password does not open the existing backup chain: %1").arg(check.second));
    }

    QSharedPointer<DataStream> data;
    if (image)
        data = QSharedPointer<DataStreamIbb>::create(source, outMap, inMap, compression, cipher, password, nullptr);
    else
        data = QSharedPointer<DifferentialFileDataStream>::create(source, outMap, inMap, compression, cipher, password,
                                                                  nullptr);
    if (!data->open(QIODevice::ReadOnly)) {
        QFile::remove(incomingMap);
        throw ToolError(ToolError::Failure, QStringLiteral("cannot back up %1: %2")
                                                .arg(sourcePath, data->errorString().isEmpty()
                                                                     ? source->errorString()
                                                                     : data->errorString()));
    }
    const unsigned int revision = outMap->revision();
    const bool full = data->isFull();

    try {
        OutputTarget stored(repository.dataPath(revision));
        ProgressMeter progress(QStringLiteral("backup"), source->size(), quiet(parser));
        const qint64 storedBytes = pump(*data, &stored.device(), progress, qMax<qint64>(1 << 20, outMap->blockSize()));
        outMap->close();
        stored.commit();
        if (!QFile::rename(incomingMap, repository.mapPath(revision)))
            throw ToolError(ToolError::Failure, QStringLiteral("cannot put the map of revision %1 in place").arg(revision));
        if (!quiet(parser))
            printf("revision %u (%s): %llu bytes in %llu blocks, %lld bytes stored\n", revision,
                   full ? "full" : "incremental", outMap->length(), outMap->blockCount(), storedBytes);
    } catch (...) {
        outMap->close();
        QFile::remove(incomingMap);
        throw;
    }
    return 0;
}
