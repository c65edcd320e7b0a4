#include "encryption/hmacing/instream.h"

#include <cstring>

namespace ZRV::Stream::Hmacing {

InStream::InStream(QSharedPointer<QIODevice> source, const QByteArray& key, QObject* parent)
    : BaseStream(std::move(source), key, parent)
{
}

qint64 InStream::size() const
{
    return 0;
}

bool InStream::atEnd() const
{
    return QIODevice::bytesAvailable() == 0 && finished_ && pendingTrailer_.isEmpty() && source_->atEnd();
}

qint64 InStream::readData(char* data, qint64 maxSize)
{
    qint64 count = 0;
    if (!finished_) {
        count = source_->read(data, maxSize);
        if (count < 0) {
            setErrorString(source_->errorString());
            return -1;
        }
        addData(data, count);
        if (source_->atEnd()) {
            finished_ = true;
            pendingTrailer_ = mac();
        }
    }
    if (finished_ && count < maxSize) {
        const int trailerPart = int(qMin<qint64>(maxSize - count, pendingTrailer_.size()));
        std::memcpy(data + count, pendingTrailer_.constData(), trailerPart);
        pendingTrailer_.remove(0, trailerPart);
        count += trailerPart;
    }
    return count;
}

} // namespace ZRV::Stream::Hmacing
