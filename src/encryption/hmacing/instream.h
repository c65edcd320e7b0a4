#pragma once

#include "encryption/hmacing/basestream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::Hmacing {

// Passes its source through unchanged, then appends the 32-byte HMAC-SHA-256 trailer over the
// bytes given to addData and every byte passed. The trailer is computed when the source reports
// its end after a read, and handed out in the room the read leaves and in later reads. A failed
// source read returns -1 (error string copied from the source) and adds nothing to the MAC.
// atEnd() once the source is at its end and the whole trailer was handed out. size() is 0.
class ZRVSTREAMS_EXPORT InStream : public BaseStream
{
    Q_OBJECT

public:
    InStream(QSharedPointer<QIODevice> source, const QByteArray& key, QObject* parent = nullptr);

    qint64 size() const override;
    bool atEnd() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    bool finished_ = false;
    QByteArray pendingTrailer_;
};

} // namespace ZRV::Stream::Hmacing
