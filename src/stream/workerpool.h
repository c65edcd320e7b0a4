#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ZRV::Stream {

// A fixed set of threads that run jobs in the order they were given. The destructor lets the
// jobs already given finish, then joins the threads; a job must not throw (OrderedWork wraps
// jobs so that their exceptions travel to the caller). A pool of no threads starts none: run()
// then runs each job at once on the caller's thread.
class WorkerPool
{
public:
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int threadCount() const;
    void run(std::function<void()> job);

private:
    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace ZRV::Stream
