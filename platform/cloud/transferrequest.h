#pragma once

#include "channel.h"
#include "provider.h"

#include <QList>
#include <QPair>
#include <QString>
#include <memory>

namespace ZRV::Cloud {

// What a transfer fetches and where its bytes go.
struct TransferRequest
{
    // Bytes: the object's bytes go into the channel. Size: only the object's size is looked up
    // (Channel::Batch::objectSize); offset and count do not apply. Call (http and s3): one request
    // of `method` with `query` and `body`; a 2xx answer's body goes into the channel and its ETag
    // into Channel::Batch::etag, any other status fails the transfer.
    enum class Goal { Bytes, Size, Call };

    Provider provider;
    QString container;
    QString path;
    quint64 offset = 0;
    // Bytes wanted from offset, or -1 for everything up to the end of the object.
    qint64 count = -1;
    std::shared_ptr<Channel> channel;
    Goal goal = Goal::Bytes;
    QByteArray method{};
    QList<QPair<QString, QString>> query{};
    QByteArray body{};

    // A request for the whole object needs no byte range.
    bool isRanged() const { return goal == Goal::Bytes && (offset != 0 || count >= 0); }
};

} // namespace ZRV::Cloud
