#include "encryption/hmacing/outstream.h"

#include <cryptopp/misc.h>
#include <cstring>

namespace ZRV::Stream::Hmacing {

OutStream::OutStream(QSharedPointer<QIODevice> source, const QByteArray& key, QObject* parent)
    : BaseStream(std::move(source), key, parent)
{
    // Reserved capacity survives resize(0), so the small buffer is allocated once.
    lookBehind_.reserve(2 * TrailerLength);
}

bool OutStream::isSequential() const
{
    return true;
}

bool OutStream::seek(qint64 pos)
{
    if (!IStream::seek(pos))
        return false;
    lookBehind_.resize(0);
    return true;
}

bool OutStream::validate() const
{
    return lookBehind_.size() == TrailerLength
        && CryptoPP::VerifyBufsEqual(reinterpret_cast<const CryptoPP::byte*>(mac().constData()),
                                     reinterpret_cast<const CryptoPP::byte*>(lookBehind_.constData()), TrailerLength);
}

qint64 OutStream::readData(char* data, qint64 maxSize)
{
    return maxSize < lookBehind_.size() ? readSmall(data, maxSize) : readInPlace(data, maxSize);
}

// A request smaller than what is held back: gather in the look-behind buffer, hand out its front.
qint64 OutStream::readSmall(char* data, qint64 maxSize)
{
    const int held = lookBehind_.size();
    lookBehind_.resize(held + int(maxSize));
    const qint64 count = source_->read(lookBehind_.data() + held, maxSize);
    lookBehind_.resize(held + int(qMax<qint64>(count, 0)));
    if (count < 0) {
        setErrorString(source_->errorString());
        return -1;
    }
    const qint64 available = qMax<qint64>(lookBehind_.size() - TrailerLength, 0);
    std::memcpy(data, lookBehind_.constData(), available);
    addData(data, available);
    lookBehind_.remove(0, int(available));
    return available;
}

// The held bytes and then the source's go straight into data, so payload bytes are never copied
// twice; what the request brings beyond data's end (at most 32 bytes) lands in a small tail. The
// source is still asked for maxSize bytes in all, or maxSize + 32 while nothing is held.
qint64 OutStream::readInPlace(char* data, qint64 maxSize)
{
    const qint64 held = lookBehind_.size();
    std::memcpy(data, lookBehind_.constData(), held);
    const qint64 direct = source_->read(data + held, maxSize - held);
    char tail[TrailerLength];
    qint64 tailCount = 0;
    if (direct == maxSize - held)
        tailCount = source_->read(tail, held == 0 ? TrailerLength : held);
    if (direct < 0 || tailCount < 0) {
        setErrorString(source_->errorString());
        return -1;
    }
    const qint64 inData = held + direct;
    const qint64 available = qMax<qint64>(inData + tailCount - TrailerLength, 0);
    addData(data, available);
    lookBehind_.resize(0);
    lookBehind_.append(data + available, int(inData - available));
    lookBehind_.append(tail, int(tailCount));
    return available;
}

} // namespace ZRV::Stream::Hmacing
