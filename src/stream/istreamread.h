#pragma once

#include "stream/istream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {

// A read-only stream: open modes without ReadOnly and every write are refused with a warning
// line and UnsupportedOperation.
class ZRVSTREAMS_EXPORT IStreamRead : public IStream
{
    Q_OBJECT

public:
    explicit IStreamRead(QSharedPointer<QIODevice> source, QObject* parent = nullptr);

    bool open(OpenMode mode) override;

protected:
    qint64 writeData(const char* data, qint64 maxSize) override;
};

} // namespace ZRV::Stream
