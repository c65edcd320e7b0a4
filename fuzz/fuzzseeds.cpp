// Writes the seed corpora of the fuzz targets, made by the library itself, into
// <directory>/<target>/. Usage: fuzzSeeds <directory>
#include "fuzzinput.h"

#include "compression/compressionstream.h"
#include "core/encryption/key.h"
#include "encryption/hmacing/instream.h"
#include "encryption/passwordbasedmasterkeyencryptor.h"
#include "filecontainer/version1/package.h"
#include "filecontainer/version2/package.h"
#include "support/backupchain.h"
#include "support/fastcontainer.h"
#include "support/testbytes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cstdio>

using namespace ZRV::Fuzz;
namespace Encryption = ZRV::Core::Encryption;
namespace Compression = ZRV::Core::Compression;

namespace {

// Request patterns the seeds are written with: plain small reads, a stride through the size
// table, unbuffered odd sizes, and large reads.
const quint8 Patterns[] = {0x00, 0x25, 0xB3, LargeReads};

struct Sample
{
    const char* name;
    QByteArray bytes;
};

QList<Sample> samples()
{
    return {{"empty", QByteArray()},
            {"short", "hello"},
            {"text", compressibleBytes(3000)},
            {"random", randomBytes(1000)},
            {"twoblocks", QByteArray((1 << 20) + 1, '\0')}};
}

class SeedWriter
{
public:
    explicit SeedWriter(const QString& directory)
        : root_(directory)
    {
    }

    void write(const QString& target, const QString& name, const QByteArray& bytes)
    {
        root_.mkpath(target);
        QFile file(root_.filePath(target + "/" + name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            std::exit(1);
        }
    }

    // One seed per request pattern: the pattern byte, then the bytes.
    void writePatterned(const QString& target, const QString& name, const QByteArray& bytes)
    {
        for (quint8 pattern : Patterns)
            write(target, QString("%1-%2").arg(name).arg(pattern, 2, 16, QChar('0')), char(pattern) + bytes);
    }

private:
    QDir root_;
};

QByteArray compressed(const QByteArray& bytes, Compression::Algorithm algorithm)
{
    ZRV::Stream::CompressionStream stream(inputDevice(bytes), algorithm, nullptr);
    stream.open(QIODevice::ReadOnly);
    return stream.readAll();
}

QByteArray sealed(const QByteArray& payload)
{
    ZRV::Stream::Hmacing::InStream stream(inputDevice(payload), "fuzz integrity key", nullptr);
    stream.open(QIODevice::ReadOnly);
    stream.addData("fuzz context iv.");
    return stream.readAll();
}

void writeCompressionSeeds(SeedWriter& seeds)
{
    for (const Sample& sample : samples()) {
        seeds.writePatterned("lz4blocks", sample.name, compressed(sample.bytes, Compression::Lz4));
        seeds.writePatterned("gzipdata", sample.name, compressed(sample.bytes, Compression::Gzip));
    }
    // Headers flagged by algorithm 4, read with the pattern bit that selects it.
    seeds.write("lz4blocks", "flagged", char(0x40) + compressed(compressibleBytes(3000), Compression::Lz4Flagged));
}

void writeIntegritySeeds(SeedWriter& seeds)
{
    for (int size : {0, 1, 31, 32, 33, 100, 5000})
        seeds.writePatterned("hmactrailer", QString("payload%1").arg(size), sealed(compressibleBytes(size)));

    for (int cipher = Encryption::Des; cipher <= Encryption::Aes256; ++cipher) {
        const auto algorithm = Encryption::Algorithm(cipher);
        const ZRV::Encryption::PasswordBasedMasterKeyEncryptor encryptor(algorithm, "fuzz password");
        seeds.write("masterkeyblob", QString("cipher%1").arg(cipher),
                    char(cipher) + encryptor.toStream(Encryption::Key::randomKey(algorithm)));
    }
}

// Containers as the packages write them when nothing is encrypted (no key derivation to speed up).
template <class Package>
QByteArray unencryptedContainer(const QByteArray& data, bool useCompression)
{
    Package package(inputDevice(data), data.size(), Encryption::NoEncryption, QByteArray(), useCompression, nullptr);
    package.open(QIODevice::ReadOnly);
    return package.readAll();
}

void writeContainerSeeds(SeedWriter& seeds)
{
    namespace FileContainer = ZRV::Stream::FileContainer;
    const QByteArray password = "fuzz password";
    const QByteArray data = compressibleBytes(300);
    const struct
    {
        const char* name;
        Encryption::Algorithm algorithm;
        bool useCompression;
    } kinds[] = {{"aes256-gzip", Encryption::Aes256, true},
                 {"aes128", Encryption::Aes128, false},
                 {"des3-gzip", Encryption::Des3, true},
                 {"des", Encryption::Des, false}};
    for (const auto& kind : kinds) {
        const QByteArray v1 = fastV1Container(data, kind.algorithm, password, kind.useCompression);
        const QByteArray v2 = fastV2Container(data, kind.algorithm, password, kind.useCompression);
        seeds.write("v1header", kind.name, v1);
        seeds.write("v2header", kind.name, v2);
        seeds.write("containerversion", QString("v1-%1").arg(kind.name), v1);
        seeds.write("containerversion", QString("v2-%1").arg(kind.name), v2);
        seeds.write("v1container", kind.name, char(0x00) + v1);
        seeds.write("v2container", kind.name, char(0x00) + v2);
    }
    for (bool useCompression : {false, true}) {
        const QString name = useCompression ? "gzip" : "plain";
        const QByteArray v1 = unencryptedContainer<FileContainer::V1::Package>(data, useCompression);
        const QByteArray v2 = unencryptedContainer<FileContainer::V2::Package>(data, useCompression);
        seeds.write("v1header", name, v1);
        seeds.write("v2header", name, v2);
        seeds.write("containerversion", "v1-" + name, v1);
        seeds.write("containerversion", "v2-" + name, v2);
        seeds.writePatterned("v1container", name, v1);
        seeds.writePatterned("v2container", name, v2);
    }
}

QByteArray littleEndian16(int value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian<quint16>(quint16(value), bytes.data());
    return bytes;
}

// Two revisions of a source of three blocks and a bit, the second with its middle block changed.
void writeBlockLevelSeeds(SeedWriter& seeds)
{
    const unsigned int blockSize = 1024;
    const QByteArray first = compressibleBytes(2 * blockSize) + randomBytes(blockSize + 100);
    QByteArray second = first;
    second.replace(blockSize, 10, "changed!!!");
    const struct
    {
        const char* name;
        Compression::Algorithm compression;
        Encryption::Algorithm encryption;
        bool authenticated;
    } runs[] = {{"plain", Compression::None, Encryption::NoEncryption, false},
                {"lz4", Compression::Lz4, Encryption::NoEncryption, false},
                {"gzip", Compression::Gzip, Encryption::NoEncryption, false},
                {"aes128", Compression::None, Encryption::Aes128, false},
                {"lz4aes256", Compression::Lz4, Encryption::Aes256, false},
                {"authenticatedlz4aes128", Compression::Lz4, Encryption::Aes128, true}};
    for (const auto& run : runs) {
        const BackupChain chain = run.authenticated
            ? BackupChain::take({first, second}, blockSize, run.compression, run.encryption, repositoryKeys())
            : BackupChain::take({first, second}, blockSize, run.compression, run.encryption, "fuzz password");
        if (chain.maps.size() != 2) {
            std::fprintf(stderr, "cannot take the %s chain\n", run.name);
            std::exit(1);
        }
        seeds.write("blockmap", QString("%1-full").arg(run.name), chain.maps[0]);
        seeds.write("blockmap", QString("%1-incremental").arg(run.name), chain.maps[1]);
        const QByteArray restore = littleEndian16(chain.maps[1].size()) + littleEndian16(chain.data[0].size())
            + chain.maps[1] + chain.data[0] + chain.data[1];
        for (quint8 pattern : {quint8(0x00), LargeReads})
            seeds.write("revisionchain", QString("%1-%2").arg(run.name).arg(pattern, 2, 16, QChar('0')),
                        char(pattern) + restore);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    SeedWriter seeds(QString::fromLocal8Bit(argv[1]));
    writeCompressionSeeds(seeds);
    writeIntegritySeeds(seeds);
    writeContainerSeeds(seeds);
    writeBlockLevelSeeds(seeds);
    return 0;
}
