#pragma once

#include "stream/workerpool.h"

#include <deque>
#include <functional>
#include <future>
#include <memory>

namespace ZRV::Stream {

// Runs independent jobs (one block each) side by side on a WorkerPool and hands their results
// back in the order the jobs were given, so that what a stream produces does not depend on the
// number of workers. A job's exception is thrown by the take() that reaches its result, so an
// error surfaces at the block where it occurred. The caller bounds the read-ahead: it submits
// while isFull() is false. The destructor waits for the jobs in flight, which may still use
// what the caller lent them.
template <typename Result>
class OrderedWork
{
public:
    // At most `depth` jobs in flight; threads+1 keeps every worker busy while the caller
    // consumes a result, a few more absorb uneven job times. With no threads, submit() runs the
    // job at once on the caller's thread and take() hands its result out all the same.
    OrderedWork(int threads, int depth)
        : pool_(threads)
        , depth_(depth)
    {
    }
    ~OrderedWork() { clear(); }

    bool isFull() const { return static_cast<int>(results_.size()) >= depth_; }
    bool isEmpty() const { return results_.empty(); }

    void submit(std::function<Result()> job)
    {
        auto task = std::make_shared<std::packaged_task<Result()>>(std::move(job));
        results_.push_back(task->get_future());
        pool_.run([task] { (*task)(); });
    }

    // The oldest job's result, waiting for it; throws what the job threw.
    Result take()
    {
        std::future<Result> next = std::move(results_.front());
        results_.pop_front();
        return next.get();
    }

    // Waits for every job in flight and drops their results.
    void clear()
    {
        for (auto& result : results_)
            result.wait();
        results_.clear();
    }

private:
    WorkerPool pool_;
    const int depth_;
    std::deque<std::future<Result>> results_;
};

} // namespace ZRV::Stream
