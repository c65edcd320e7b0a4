#include "workerthread.h"

#include "transferhost.h"

namespace ZRV::Cloud {

WorkerThread::WorkerThread()
    : host_(new TransferHost)
{
    setObjectName(QStringLiteral("zrvCloud worker"));
    host_->moveToThread(this);
    start();
}

WorkerThread::~WorkerThread()
{
    quit();
    wait();
}

void WorkerThread::run()
{
    exec();
    delete host_;
}

} // namespace ZRV::Cloud
