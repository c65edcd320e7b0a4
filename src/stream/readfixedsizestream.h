#pragma once

#include "stream/istreamread.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {

// The next `size` bytes of its source, from where the source stands when the stream is opened.
// pos() and atEnd() speak for the caller (bytes that Qt holds back after peek are not read yet). readData passes the
// source's result on (-1 on a failed read); atEnd() is true once the caller has read `size` bytes, or the source ended
// before that.
class ZRVSTREAMS_EXPORT ReadFixedSizeStream : public IStreamRead
{
    Q_OBJECT

public:
    ReadFixedSizeStream(QSharedPointer<QIODevice> source, qint64 size, QObject* parent = nullptr);

    bool isSequential() const override;
    // Opens the source itself with the caller's mode (an already open file refuses a second
    // open) and starts at 0.
    bool open(OpenMode mode) override;
    qint64 pos() const override;
    qint64 size() const override;
    // Accepts 0 <= pos <= size over a random-access source.
    bool seek(qint64 pos) override;
    bool atEnd() const override;
    bool reset() override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    const qint64 size_;
    qint64 start_;
    qint64 position_ = 0; // bytes handed to Qt, which may hold some of them back after peek
};

} // namespace ZRV::Stream
