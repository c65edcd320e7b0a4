#include "support/streamtesting.h"

#include "encryption/hmacing/instream.h"
#include "encryption/hmacing/outstream.h"

#include <QMessageAuthenticationCode>

using ZRV::Stream::Hmacing::InStream;
using ZRV::Stream::Hmacing::OutStream;

namespace {

const QByteArray Key = "integrity key";
const QByteArray Context = "sixteen byte iv.";

QByteArray qtMac(const QByteArray& payload)
{
    return QMessageAuthenticationCode::hash(Context + payload, Key, QCryptographicHash::Sha256);
}

QByteArray seal(const QByteArray& payload, int workers = 1, qint64 step = 5)
{
    InStream stream(openBuffer(payload), Key, nullptr);
    stream.open(QIODevice::ReadOnly);
    stream.setWorkerCount(workers);
    stream.addData(Context);
    return readInSteps(stream, step);
}

// Reads sealed bytes through an OutStream, stopping at the first empty read; returns the payload
// and whether the trailer held.
std::pair<QByteArray, bool> unseal(const QByteArray& sealed, qint64 step = 4096, int workers = 1)
{
    OutStream stream(openBuffer(sealed), Key, nullptr);
    stream.open(QIODevice::ReadOnly);
    stream.setWorkerCount(workers);
    stream.addData(Context);
    const QByteArray payload = readUntilAtEnd(stream, step);
    return {payload, stream.validate()};
}

} // namespace

TEST(HmacStreams, inStreamAppendsTheMacOfContextAndPayload)
{
    for (int length : {0, 1, 31, 32, 33, 5000})
        EXPECT_EQ(seal(randomBytes(length)), randomBytes(length) + qtMac(randomBytes(length))) << length;
}

TEST(HmacStreams, outStreamPassesThePayloadAndChecksTheTrailer)
{
    for (int length : {0, 1, 57, 5000}) {
        for (qint64 step : {1, 7, 33, 4096}) {
            const auto [payload, valid] = unseal(seal(randomBytes(length)), step);
            EXPECT_EQ(payload, randomBytes(length)) << length << " in steps of " << step;
            EXPECT_TRUE(valid) << length << " in steps of " << step;
        }
    }
    const QByteArray sealed = seal(randomBytes(57));
    for (int i = 0; i < sealed.size(); ++i)
        EXPECT_FALSE(unseal(flipped(sealed, i, 0x04)).second) << "byte " << i;
    for (int length : {0, 31})
        EXPECT_EQ(unseal(sealed.left(length)), std::make_pair(QByteArray(), false)) << length;
}

// The MAC thread takes the bytes in batches of 256 KiB from a ring of five buffers: sizes around
// a batch and beyond the ring, in reads that split batches and reads that span several.
TEST(HmacStreams, macThreadGivesTheSameTrailerAndVerdict)
{
    const int batch = 262144;
    const std::pair<const char*, int> sizes[] = {{"empty", 0},          {"batchMinusOne", batch - 1},
                                                 {"oneBatch", batch},    {"batchPlusOne", batch + 1},
                                                 {"beyondTheRing", 7 * batch + 33}};
    for (const auto& [name, size] : sizes) {
        for (qint64 step : {4099, 1048576}) {
            SCOPED_TRACE(testing::Message() << name << " in steps of " << step);
            const QByteArray payload = randomBytes(size);
            const QByteArray sealed = seal(payload, 2, step);
            EXPECT_EQ(sealed, payload + qtMac(payload));
            EXPECT_EQ(unseal(sealed, step, 2), std::make_pair(payload, true));
            EXPECT_FALSE(unseal(flipped(sealed, size / 2), step, 2).second);
        }
    }
}

TEST(HmacStreams, failedSourceReadReturnsMinusOne)
{
    auto source = openBuffer(randomBytes(100));
    InStream in(source, Key, nullptr);
    OutStream out(source, Key, nullptr);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::ReadOnly);
    source->close();
    char buffer[64];
    EXPECT_EQ(in.read(buffer, sizeof buffer), -1);
    EXPECT_EQ(out.read(buffer, sizeof buffer), -1);
}
