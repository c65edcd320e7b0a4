#pragma once

#include "zrvstreams_export.h"

#include <QIODevice>
#include <QSharedPointer>

namespace ZRV::Stream {

// A QIODevice over one shared source device. Positioning queries are forwarded to the source
// (0 or false while the source is null or closed). Opening opens a closed source with the
// same mode, plus Unbuffered unless isUnbuffered() says otherwise; closing or destroying the
// stream closes the source, even if others still hold it.
//
// Every stream itself is opened Unbuffered (unless isUnbuffered() says otherwise), whatever the
// caller asked: Qt then reads straight into the caller's memory and holds no read-ahead, so a
// rewind cannot hand out stale bytes and a readData that throws leaves nothing behind.
class ZRVSTREAMS_EXPORT IStream : public QIODevice
{
    Q_OBJECT

public:
    explicit IStream(QSharedPointer<QIODevice> source, QObject* parent = nullptr);
    ~IStream() override;

    bool isSequential() const override;
    // False for a null source, a source that fails to open, or NotOpen.
    bool open(OpenMode mode) override;
    void close() override;
    qint64 pos() const override;
    qint64 size() const override;
    bool seek(qint64 pos) override;
    bool atEnd() const override;
    bool reset() override;
    bool canReadLine() const override;

    // True: the stream and its source are opened with QIODevice::Unbuffered.
    virtual bool isUnbuffered() const;

protected:
    bool isSourceOpen() const;
    // Marks this stream open in `mode`, Unbuffered added as open() does; for subclasses that open
    // their sources themselves.
    bool openDevice(OpenMode mode);
    // Moves Qt's record of the caller's position (and drops its read buffer) after this stream
    // moved to `pos` by other means.
    void followSeek(qint64 pos);

    const QSharedPointer<QIODevice> source_;
};

} // namespace ZRV::Stream
