#include "cloud/icloudstream.h"

#include "stream/exception/unsupportedoperation.h"

namespace ZRV::Stream {

ICloudStream::ICloudStream(const QMap<QString, QVariant>& config, const QString& path, unsigned long long size,
                           QObject* parent)
    : QIODevice(parent)
    , config_(config)
    , path_(path)
    , size_(size)
{
}

bool ICloudStream::isSequential() const
{
    return false;
}

bool ICloudStream::open(OpenMode mode)
{
    if (mode != ReadOnly)
        Exception::UnsupportedOperation::refuse("virtual bool ZRV::Stream::ICloudStream::open(QIODevice::OpenMode)");
    if (config_.isEmpty())
        return false;
    // The caller's position holds: one set before opening, or the one reached before opening again.
    const qint64 position = ICloudStream::pos();
    setOpenMode(ReadOnly);
    return ICloudStream::seek(position);
}

void ICloudStream::close()
{
}

qint64 ICloudStream::pos() const
{
    // QIODevice counts what it has handed out; position_ runs ahead by what sits in its buffer.
    return isOpen() ? QIODevice::pos() : qint64(position_);
}

qint64 ICloudStream::size() const
{
    return qint64(size_);
}

bool ICloudStream::seek(qint64 pos)
{
    if (pos < 0 || quint64(pos) > size_)
        return false;
    position_ = quint64(pos);
    if (isOpen())
        QIODevice::seek(pos);
    return true;
}

bool ICloudStream::atEnd() const
{
    return quint64(ICloudStream::pos()) >= size_;
}

bool ICloudStream::reset()
{
    return ICloudStream::seek(0);
}

bool ICloudStream::canReadLine() const
{
    return false;
}

qint64 ICloudStream::writeData(const char*, qint64)
{
    Exception::UnsupportedOperation::refuse(
        "virtual qint64 ZRV::Stream::ICloudStream::writeData(const char *, qint64)");
}

unsigned long long ICloudStream::remaining() const
{
    return position_ < size_ ? size_ - position_ : 0;
}

} // namespace ZRV::Stream
