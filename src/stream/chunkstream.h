#pragma once

#include "stream/istreamread.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {

// Re-reads its source so that every read returns the full count asked for, until the source is
// exhausted: only the last read may return less (0 at the end). An empty read of a source not at
// its end waits for more (see readFully). A failed source read returns the bytes gathered so far,
// or -1 with the source's error text when there are none.
class ZRVSTREAMS_EXPORT ChunkStream : public IStreamRead
{
    Q_OBJECT

public:
    explicit ChunkStream(QSharedPointer<QIODevice> source, QObject* parent = nullptr);

    // Over a random-access source, the source's. Over a sequential one, true once a read came up
    // short: Qt's sequential devices (a QProcess) report their end whenever nothing is buffered.
    bool atEnd() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    bool sourceEnded_ = false;
};

} // namespace ZRV::Stream
