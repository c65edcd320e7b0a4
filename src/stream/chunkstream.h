#pragma once

#include "stream/istreamread.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {

// Re-reads its source so that every read returns the full count asked for, until the source is
// exhausted: only the last read may return less (0 at the end). A failed source read returns
// the bytes gathered so far, or -1 with the source's error text when there are none.
class ZRVSTREAMS_EXPORT ChunkStream : public IStreamRead
{
    Q_OBJECT

public:
    explicit ChunkStream(QSharedPointer<QIODevice> source, QObject* parent = nullptr);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
};

} // namespace ZRV::Stream
