#include "transferhost.h"

#include "httptransfer.h"
#include "localtransfer.h"

#include <QNetworkAccessManager>

namespace ZRV::Cloud {

TransferHost::TransferHost() = default;

TransferHost::~TransferHost()
{
    qDeleteAll(findChildren<Transfer*>(QString(), Qt::FindDirectChildrenOnly));
    delete network_;
}

void TransferHost::post(TransferRequest request, std::function<void()> ended)
{
    std::lock_guard<std::mutex> lock(mutex_);
    posted_.emplace_back(std::move(request), std::move(ended));
    if (posted_.size() == 1)
        QMetaObject::invokeMethod(this, "beginPosted", Qt::QueuedConnection);
}

void TransferHost::beginPosted()
{
    std::vector<std::pair<TransferRequest, std::function<void()>>> posted;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        posted.swap(posted_);
    }
    for (auto& [request, ended] : posted) {
        Transfer* transfer = nullptr;
        switch (request.provider.kind()) {
        case Provider::Kind::Local:
            transfer = new LocalTransfer(request, this);
            break;
        case Provider::Kind::Http:
        case Provider::Kind::S3:
            transfer = new HttpTransfer(request, network(), this);
            break;
        }
        connect(transfer, &QObject::destroyed, [ended = std::move(ended)] { ended(); });
        transfer->begin();
    }
}

QNetworkAccessManager* TransferHost::network()
{
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    return network_;
}

} // namespace ZRV::Cloud
