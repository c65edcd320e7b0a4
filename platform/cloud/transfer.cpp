#include "transfer.h"

namespace ZRV::Cloud {

Transfer::Transfer(TransferRequest request, QObject* parent)
    : QObject(parent)
    , request_(std::move(request))
{
    request_.channel->attachProducer(this, "onWake");
}

Transfer::~Transfer()
{
    request_.channel->detachProducer();
}

void Transfer::begin()
{
    if (!stopIfCancelled())
        onBegin();
}

void Transfer::finish(const QString& error, qint64 objectSize, const QByteArray& etag)
{
    if (done_)
        return;
    done_ = true;
    request_.channel->end(error, objectSize, etag);
    deleteLater();
}

void Transfer::onWake()
{
    if (!done_ && !stopIfCancelled())
        resume();
}

bool Transfer::stopIfCancelled()
{
    if (!request_.channel->isCancelled())
        return false;
    done_ = true;
    deleteLater();
    return true;
}

} // namespace ZRV::Cloud
