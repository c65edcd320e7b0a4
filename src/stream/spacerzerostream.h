#pragma once

#include "zrvstreams_export.h"

#include <QIODevice>

namespace ZRV::Stream {

// `size` zero bytes, with no source. Opened with the caller's mode as given (Qt may buffer
// ahead); pos() and atEnd() speak for the caller. Writing and modes without ReadOnly are
// refused with a warning line and UnsupportedOperation.
class ZRVSTREAMS_EXPORT SpacerZeroStream : public QIODevice
{
    Q_OBJECT

public:
    explicit SpacerZeroStream(qint64 size, QObject* parent = nullptr);

    bool isSequential() const override;
    bool open(OpenMode mode) override;
    qint64 pos() const override;
    qint64 size() const override;
    // Accepts 0 <= pos <= size.
    bool seek(qint64 pos) override;
    bool atEnd() const override;
    bool reset() override;
    bool canReadLine() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    const qint64 size_;
    qint64 position_ = 0; // bytes handed to Qt, which may hold some of them in its buffer
};

} // namespace ZRV::Stream
