#pragma once

#include <QThread>

namespace ZRV::Cloud {

class TransferHost;

// A running thread with an event loop and a TransferHost in it.
class WorkerThread : public QThread
{
    Q_OBJECT

public:
    WorkerThread();
    // Stops the event loop and waits; the host and its transfers are deleted in the thread.
    ~WorkerThread() override;

    TransferHost* host() const { return host_; }

protected:
    void run() override;

private:
    TransferHost* const host_;
};

} // namespace ZRV::Cloud
