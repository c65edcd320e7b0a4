#pragma once

#include "transferrequest.h"

#include <QObject>
#include <functional>

class QNetworkAccessManager;

namespace ZRV::Cloud {

// Lives in one worker thread: begins the transfers given to that thread, owns them and the
// thread's network access manager.
class TransferHost : public QObject
{
    Q_OBJECT

public:
    TransferHost();
    // Deletes the remaining transfers before the network access manager their replies belong to.
    ~TransferHost() override;

    // `ended` runs in this thread when the transfer object is gone.
    void begin(const TransferRequest& request, std::function<void()> ended);

private:
    QNetworkAccessManager* network();

    QNetworkAccessManager* network_ = nullptr;
};

} // namespace ZRV::Cloud
