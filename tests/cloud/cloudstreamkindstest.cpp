#include "cloud/icloudpreparestream.h"
#include "cloudtestsupport.h"

#include <QRandomGenerator>

using namespace ZRV::Stream::Cloud;

namespace {

const qint64 ObjectSize = (10 << 20) + 12345; // two parts of the multi-part stream

using StreamKinds = KindTest;

} // namespace

TEST_P(StreamKinds, readsInSmallRequestsUntilAtEnd)
{
    const QByteArray object = putRandom("object", ObjectSize);
    auto stream = make(config(), "object", ObjectSize);
    ASSERT_TRUE(openReady(*stream));
    const qint64 requestSizes[] = {1, 7, 1000, 16383, 16385, 70001};
    QByteArray read;
    for (int turn = 0; !stream->atEnd() && turn < 100000; ++turn)
        read += stream->read(requestSizes[turn % 6]);
    EXPECT_EQ(read, object);
    EXPECT_TRUE(stream->atEnd());
    EXPECT_EQ(stream->pos(), ObjectSize);
}

TEST_P(StreamKinds, servesASeekingConsumer)
{
    const QByteArray object = putRandom("object", ObjectSize);
    auto stream = make(config(), "object", ObjectSize);
    ASSERT_TRUE(openReady(*stream));
    QRandomGenerator random(7);
    for (int turn = 0; turn < 40; ++turn) {
        const qint64 start = turn % 8 == 7 ? ObjectSize - 5 : qint64(random.bounded(quint32(ObjectSize + 1)));
        ASSERT_TRUE(stream->seek(start));
        EXPECT_EQ(stream->pos(), start);
        // A short read fills QIODevice's buffer; a jump forward within it must not return stale bytes.
        EXPECT_EQ(stream->read(10), object.mid(int(start), 10));
        const qint64 next = qMin(stream->pos() + 100, ObjectSize);
        ASSERT_TRUE(stream->seek(next));
        const qint64 length = random.bounded(40000);
        EXPECT_EQ(stream->read(length), object.mid(int(next), int(length))) << start << " " << length;
        EXPECT_EQ(stream->pos(), qMin(next + length, ObjectSize));
        EXPECT_EQ(stream->atEnd(), stream->pos() == ObjectSize);
    }
    ASSERT_TRUE(stream->reset());
    EXPECT_EQ(stream->read(5), object.left(5));
}

INSTANTIATE_TEST_SUITE_P(Providers, StreamKinds,
                         ::testing::Combine(::testing::Values(Kind::Simple, Kind::PrepareSimple, Kind::PrepareMulti),
                                            ::testing::Values(Transport::Local, Transport::Http, Transport::S3)),
                         kindName);

using PrepareKinds = StreamKinds;

TEST_P(PrepareKinds, destroyedMidDownloadLeavesNothingBehind)
{
    const QByteArray object = putRandom("object", ObjectSize);
    auto stream = make(config(4096, "/slow"), "object", ObjectSize);
    ASSERT_TRUE(stream->open(QIODevice::ReadOnly));
    // Files are preallocated with zeros: the object's first bytes show that data has arrived.
    ASSERT_TRUE(waitFor([&] { return someFileStartsWith(files_.path(), object.left(64)); }));
    EXPECT_FALSE(qobject_cast<ICloudPrepareStream*>(stream.get())->readyToRead());
    stream.reset();
    EXPECT_EQ(filesIn(files_.path()), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Providers, PrepareKinds,
                         ::testing::Combine(::testing::Values(Kind::PrepareSimple, Kind::PrepareMulti),
                                            ::testing::Values(Transport::Local, Transport::Http)),
                         kindName);
