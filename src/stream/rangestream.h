#pragma once

#include "core/extensions/range.h"
#include "stream/istreamread.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {

// A byte range of its source, shown as a stream of size upper - lower starting at position 0.
// readData passes the source's result on (-1 on a failed read); atEnd() is true once the whole
// range was read, or the source ended before it.
class ZRVSTREAMS_EXPORT RangeStream : public IStreamRead
{
    Q_OBJECT

public:
    RangeStream(QSharedPointer<QIODevice> source, const Extensions::Range<long long>& range, QObject* parent = nullptr);

    bool isSequential() const override;
    // Moves the source to the lower bound and starts again at position 0. Over a sequential
    // source only a range starting at 0 can be opened.
    bool open(OpenMode mode) override;
    qint64 pos() const override;
    qint64 size() const override;
    // Accepts positions whose source offset lies in the range, honouring its bound flags.
    bool seek(qint64 pos) override;
    bool atEnd() const override;
    bool reset() override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    const Extensions::Range<long long> range_;
    qint64 position_ = 0;
};

} // namespace ZRV::Stream
