#pragma once

#include "encryption/hmacing/basestream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::Hmacing {

// Reads a stream made by InStream: passes on everything but the last 32 bytes, which it holds
// back as the trailer, and adds what it passes to the MAC. A read asks the source for maxSize
// bytes, or maxSize + 32 while nothing is held back, and hands out what goes beyond the last 32
// bytes seen, so it may return 0 before the source's end; callers read until atEnd() (the
// source's). A failed source read returns -1 with the source's error string. size() is the
// source's, trailer included. A wrong or missing trailer shows only in validate(); a source
// shorter than 32 bytes yields nothing and fails it.
class ZRVSTREAMS_EXPORT OutStream : public BaseStream
{
    Q_OBJECT

public:
    OutStream(QSharedPointer<QIODevice> source, const QByteArray& key, QObject* parent = nullptr);

    bool isSequential() const override;
    // Forgets the held-back bytes; the MAC state stays.
    bool seek(qint64 pos) override;

    // After reading to the end: whether the held-back trailer is the MAC of everything added,
    // compared in constant time. Changes nothing.
    bool validate() const;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    qint64 readSmall(char* data, qint64 maxSize);
    qint64 readInPlace(char* data, qint64 maxSize);

    // Bytes read and not handed out; at most the 32 of a candidate trailer between reads.
    QByteArray lookBehind_;
};

} // namespace ZRV::Stream::Hmacing
