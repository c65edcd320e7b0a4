#include "filecontainer/recordedsizestream.h"

namespace ZRV::Stream::FileContainer {

RecordedSizeStream::RecordedSizeStream(QSharedPointer<QIODevice> source, qint64 recordedSize, QObject* parent)
    : IStreamRead(std::move(source), parent)
    , recordedSize_(recordedSize)
{
}

bool RecordedSizeStream::isSequential() const
{
    return true;
}

bool RecordedSizeStream::atEnd() const
{
    // Short of the size, a reader must read once more to meet the failure.
    return delivered_ == recordedSize_ && IStream::atEnd();
}

qint64 RecordedSizeStream::readData(char* data, qint64 maxSize)
{
    const qint64 count = source_->read(data, maxSize);
    if (count < 0) {
        setErrorString(source_->errorString());
        return -1;
    }
    delivered_ += count;
    if (delivered_ > recordedSize_)
        return fail(
            tr("The data to pack grew beyond the %1 bytes recorded in the container header").arg(recordedSize_));
    if (count == 0 && delivered_ < recordedSize_ && IStream::atEnd())
        return fail(tr("The data to pack ended after %1 of the %2 bytes recorded in the container header")
                        .arg(delivered_)
                        .arg(recordedSize_));
    return count;
}

qint64 RecordedSizeStream::fail(const QString& message)
{
    setErrorString(message);
    return -1;
}

} // namespace ZRV::Stream::FileContainer
