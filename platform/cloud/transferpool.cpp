#include "transferpool.h"

#include "transferhost.h"
#include "workerthread.h"

#include <QCoreApplication>

namespace ZRV::Cloud {

using Lock = std::lock_guard<std::mutex>;

TransferPool& TransferPool::instance()
{
    static TransferPool pool;
    // The workers' network objects must go while the application still runs: after it, Qt no
    // longer deletes what they hand to deleteLater, and what a worker still held would leak.
    static const bool stopsWithApplication = (qAddPostRoutine([] { instance().stop(); }), true);
    Q_UNUSED(stopsWithApplication);
    return pool;
}

TransferPool::TransferPool() = default;

TransferPool::~TransferPool()
{
    stop();
}

void TransferPool::stop()
{
    {
        Lock lock(mutex_);
        stopping_ = true;
        pending_.clear();
    }
    // Outside the lock: transfers deleted while their threads stop report back to transferEnded.
    for (Worker& worker : workers_)
        worker.thread.reset();
}

int TransferPool::threadCount() const
{
    Lock lock(mutex_);
    return threadCount_;
}

void TransferPool::setThreadCount(int count)
{
    Lock lock(mutex_);
    threadCount_ = qMax(1, count);
    dispatch();
}

void TransferPool::enqueue(TransferRequest request)
{
    Lock lock(mutex_);
    pending_.push_back(std::move(request));
    dispatch();
}

void TransferPool::runNow(TransferRequest request)
{
    Lock lock(mutex_);
    launch(std::move(request), false);
}

bool TransferPool::isWorkerThread() const
{
    Lock lock(mutex_);
    const QThread* current = QThread::currentThread();
    for (const Worker& worker : workers_)
        if (worker.thread.get() == current)
            return true;
    return false;
}

void TransferPool::dispatch()
{
    while (!stopping_ && running_ < threadCount_ && !pending_.empty()) {
        TransferRequest request = std::move(pending_.front());
        pending_.pop_front();
        if (request.channel->isCancelled())
            continue;
        ++running_;
        launch(std::move(request), true);
    }
}

void TransferPool::launch(TransferRequest request, bool queued)
{
    if (stopping_)
        return;
    size_t chosen = 0;
    for (size_t index = 0; index < size_t(threadCount_); ++index) {
        if (index == workers_.size())
            workers_.push_back({std::make_unique<WorkerThread>(), 0});
        if (workers_[index].load < workers_[chosen].load)
            chosen = index;
    }
    ++workers_[chosen].load;
    auto ended = [this, chosen, queued] { transferEnded(chosen, queued); };
    workers_[chosen].thread->host()->post(std::move(request), std::move(ended));
}

void TransferPool::transferEnded(size_t worker, bool queued)
{
    Lock lock(mutex_);
    if (stopping_)
        return;
    --workers_[worker].load;
    if (queued)
        --running_;
    dispatch();
}

} // namespace ZRV::Cloud
