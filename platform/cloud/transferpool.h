#pragma once

#include "transferrequest.h"

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace ZRV::Cloud {

class WorkerThread;

// The worker threads of the process, made on demand up to the thread count. Queued transfers run
// at most thread-count at a time, in order, each on the least busy thread; lowering the count lets
// running transfers end and leaves surplus threads idle.
class TransferPool
{
public:
    static constexpr int DefaultThreadCount = 4;

    static TransferPool& instance();

    int threadCount() const;
    void setThreadCount(int count);

    void enqueue(TransferRequest request);
    // Begins at once, outside the queue: for callers that block until the transfer has ended and
    // must not wait behind queued transfers that in turn wait for them.
    void runNow(TransferRequest request);
    bool isWorkerThread() const;

private:
    TransferPool();
    ~TransferPool();
    // Ends every worker; transfers still running end with them and nothing starts any more.
    void stop();

    struct Worker
    {
        std::unique_ptr<WorkerThread> thread;
        int load = 0;
    };

    void dispatch();
    void launch(TransferRequest request, bool queued);
    void transferEnded(size_t worker, bool queued);

    mutable std::mutex mutex_;
    int threadCount_ = DefaultThreadCount;
    int running_ = 0;
    bool stopping_ = false;
    std::deque<TransferRequest> pending_;
    std::vector<Worker> workers_;
};

} // namespace ZRV::Cloud
