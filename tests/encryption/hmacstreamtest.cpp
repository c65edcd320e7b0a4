#include "support/streamtesting.h"

#include "encryption/hmacing/instream.h"
#include "encryption/hmacing/outstream.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QTemporaryDir>

using ZRV::Stream::Hmacing::InStream;
using ZRV::Stream::Hmacing::OutStream;

namespace {

const QByteArray Key = "integrity key";
const QByteArray Context = "sixteen byte iv.";

QByteArray qtMac(const QByteArray& payload)
{
    return QMessageAuthenticationCode::hash(Context + payload, Key, QCryptographicHash::Sha256);
}

QByteArray seal(const QByteArray& payload)
{
    InStream stream(openBuffer(payload), Key, nullptr);
    stream.open(QIODevice::ReadOnly);
    stream.addData(Context);
    return readInSteps(stream, 5);
}

// Reads sealed bytes through an OutStream; returns the payload and whether the trailer held.
std::pair<QByteArray, bool> unseal(const QByteArray& sealed, qint64 step = 4096)
{
    OutStream stream(openBuffer(sealed), Key, nullptr);
    stream.open(QIODevice::ReadOnly);
    stream.addData(Context);
    const QByteArray payload = readInSteps(stream, step);
    return {payload, stream.validate()};
}

} // namespace

TEST(HmacStreams, inStreamAppendsTheMacOfContextAndPayload)
{
    for (int length : {0, 1, 31, 32, 33, 5000})
        EXPECT_EQ(seal(pattern(length)), pattern(length) + qtMac(pattern(length))) << length;
}

// The file reports its end on the read that takes its last bytes, so that read already carries
// the start of the trailer.
TEST(HmacStreams, inStreamOverAFileReadsInTens)
{
    QTemporaryDir dir;
    auto file = QSharedPointer<QFile>::create(dir.filePath("payload"));
    ASSERT_TRUE(file->open(QIODevice::WriteOnly));
    file->write(pattern(25));
    file->close();

    InStream stream(file, Key, nullptr);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    stream.addData(Context);
    QByteArray output;
    QList<int> counts;
    do {
        const QByteArray part = stream.read(10);
        counts << part.size();
        output += part;
    } while (counts.size() < 10 && !counts.endsWith(0));
    EXPECT_EQ(counts, (QList<int>{10, 10, 10, 10, 10, 7, 0}));
    EXPECT_EQ(output, pattern(25) + qtMac(pattern(25)));
    EXPECT_TRUE(stream.atEnd());
    EXPECT_EQ(stream.size(), 0);
}

TEST(HmacStreams, outStreamPassesThePayloadAndChecksTheTrailer)
{
    for (int length : {0, 1, 57, 5000}) {
        for (qint64 step : {1, 7, 33, 4096}) {
            const auto [payload, valid] = unseal(seal(pattern(length)), step);
            EXPECT_EQ(payload, pattern(length)) << length << " in steps of " << step;
            EXPECT_TRUE(valid) << length << " in steps of " << step;
        }
    }
    const QByteArray sealed = seal(pattern(57));
    for (int i = 0; i < sealed.size(); ++i) {
        QByteArray changed = sealed;
        changed[i] = char(changed[i] ^ 0x04);
        EXPECT_FALSE(unseal(changed).second) << "byte " << i;
    }
    for (int length : {0, 31})
        EXPECT_EQ(unseal(sealed.left(length)), std::make_pair(QByteArray(), false)) << length;
}

TEST(HmacStreams, outStreamHandsOutOneByteAtATimeOnceMoreThan32AreHeld)
{
    const QByteArray sealed = seal(pattern(40));
    OutStream stream(openBuffer(sealed), Key, nullptr);
    stream.open(QIODevice::ReadOnly);
    EXPECT_EQ(stream.size(), sealed.size());
    EXPECT_TRUE(stream.isSequential());
    char byte;
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(stream.read(&byte, 1), 1) << i;
    EXPECT_EQ(stream.read(&byte, 1), 0);
    EXPECT_TRUE(stream.atEnd());
}

TEST(HmacStreams, failedSourceReadReturnsMinusOne)
{
    auto source = openBuffer(pattern(100));
    InStream in(source, Key, nullptr);
    OutStream out(source, Key, nullptr);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::ReadOnly);
    source->close();
    char buffer[64];
    EXPECT_EQ(in.read(buffer, sizeof buffer), -1);
    EXPECT_EQ(out.read(buffer, sizeof buffer), -1);
}
