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

void TransferHost::begin(const TransferRequest& request, std::function<void()> ended)
{
    Transfer* transfer = nullptr;
    switch (request.provider.kind()) {
    case Provider::Kind::Local:
        transfer = new LocalTransfer(request, this);
        break;
    case Provider::Kind::Http:
        transfer = new HttpTransfer(request, network(), this);
        break;
    }
    connect(transfer, &QObject::destroyed, [ended = std::move(ended)] { ended(); });
    transfer->begin();
}

QNetworkAccessManager* TransferHost::network()
{
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    return network_;
}

} // namespace ZRV::Cloud
