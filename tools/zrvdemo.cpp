// Demonstration over generated data: composes the building-block streams into one chain and
// checks the bytes it yields against what the chain should produce.
#include "stream/chunkstream.h"
#include "stream/joinstream.h"
#include "stream/rangestream.h"
#include "stream/spacerzerostream.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QTemporaryFile>
#include <QTextStream>

using namespace ZRV::Stream;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryFile file;
    if (!file.open()) {
        out << "zrvdemo: cannot create a temporary file\n";
        return 1;
    }
    QByteArray block(1 << 20, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = char((i * 2654435761u) >> 24);
    for (int i = 0; i < 8; ++i)
        file.write(block);
    file.close();

    // header | bytes 1 MiB .. 5 MiB of the file | 64 KiB of zeros, read in 4 KiB chunks.
    auto header = QSharedPointer<QBuffer>::create();
    header->setData("zrv demo header\n");
    auto slice = QSharedPointer<RangeStream>::create(QSharedPointer<QFile>::create(file.fileName()),
                                                     Extensions::Range<long long>(1 << 20, 5 << 20));
    auto padding = QSharedPointer<SpacerZeroStream>::create(64 << 10);
    auto join = QSharedPointer<JoinStream>::create(QList<QSharedPointer<QIODevice>>{header, slice, padding});
    ChunkStream chunks(join);
    if (!chunks.open(QIODevice::ReadOnly)) {
        out << "zrvdemo: cannot open the chain: " << chunks.errorString() << "\n";
        return 1;
    }

    QCryptographicHash streamed(QCryptographicHash::Sha256);
    qint64 total = 0;
    while (!chunks.atEnd()) {
        const QByteArray piece = chunks.read(4096);
        streamed.addData(piece);
        total += piece.size();
    }

    QCryptographicHash expected(QCryptographicHash::Sha256);
    expected.addData(header->data());
    for (int i = 0; i < 4; ++i)
        expected.addData(block);
    expected.addData(QByteArray(64 << 10, '\0'));

    const bool match = streamed.result() == expected.result();
    out << "chain: header + 4 MiB file range + 64 KiB zeros, read through a chunk stream\n"
        << "bytes read: " << total << "\n"
        << "sha256:     " << streamed.result().toHex() << "\n"
        << "result:     " << (match ? "matches the expected bytes" : "MISMATCH") << "\n";
    return match ? 0 : 1;
}
