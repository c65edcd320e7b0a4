#pragma once

#include "stream/istream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {

// A write-only stream: any open mode other than exactly WriteOnly, and every read, are refused
// with a warning line and UnsupportedOperation.
class ZRVSTREAMS_EXPORT IStreamWrite : public IStream
{
    Q_OBJECT

public:
    explicit IStreamWrite(QSharedPointer<QIODevice> source, QObject* parent = nullptr);

    bool open(OpenMode mode) override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
};

} // namespace ZRV::Stream
