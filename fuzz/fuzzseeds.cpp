// Writes the seed corpora of the fuzz targets, made by the library itself, into
// <directory>/<target>/. Usage: fuzzSeeds <directory>
#include "fuzzinput.h"

#include "compression/compressionstream.h"
#include "core/encryption/key.h"
#include "encryption/hmacing/instream.h"
#include "encryption/passwordbasedmasterkeyencryptor.h"
#include "support/testbytes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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
    return 0;
}
