#pragma once

#include "transferrequest.h"

#include <QObject>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

class QNetworkAccessManager;

namespace ZRV::Cloud {

// Lives in one worker thread: begins the transfers posted to that thread, owns them and the
// thread's network access manager.
class TransferHost : public QObject
{
    Q_OBJECT

public:
    TransferHost();
    // Deletes the remaining transfers before the network access manager their replies belong to.
    ~TransferHost() override;

    // From any thread: the transfer begins in the host's thread, and `ended` runs there once the
    // transfer object is gone.
    void post(TransferRequest request, std::function<void()> ended);

private slots:
    void beginPosted();

private:
    QNetworkAccessManager* network();

    std::mutex mutex_;
    std::vector<std::pair<TransferRequest, std::function<void()>>> posted_;
    QNetworkAccessManager* network_ = nullptr;
};

} // namespace ZRV::Cloud
