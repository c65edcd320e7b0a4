#include "stream/orderedwork.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using ZRV::Stream::OrderedWork;

namespace {

// Later jobs finish first, so any ordering by completion would show.
int slowerForLowerIndex(int index)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(20 - index));
    return index;
}

} // namespace

TEST(OrderedWork, resultsComeInSubmissionOrderWhateverFinishesFirst)
{
    OrderedWork<int> work(3, 6);
    int next = 0;
    int expected = 0;
    while (expected < 20) {
        while (next < 20 && !work.isFull()) {
            const int index = next++;
            work.submit([index] { return slowerForLowerIndex(index); });
        }
        EXPECT_EQ(work.take(), expected++);
    }
    EXPECT_TRUE(work.isEmpty());
}

TEST(OrderedWork, aJobsExceptionSurfacesAtItsOwnResult)
{
    OrderedWork<int> work(2, 4);
    for (int index = 0; index < 4; ++index)
        work.submit([index]() -> int {
            if (index == 2)
                throw std::runtime_error("block 2 failed");
            return index;
        });
    EXPECT_EQ(work.take(), 0);
    EXPECT_EQ(work.take(), 1);
    EXPECT_THROW(
        {
            try {
                work.take();
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(), "block 2 failed");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_EQ(work.take(), 3);
}

TEST(OrderedWork, destructionWaitsForJobsInFlight)
{
    std::atomic<int> finished{0};
    {
        OrderedWork<int> work(2, 8);
        for (int index = 0; index < 8; ++index)
            work.submit([&finished] {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                return ++finished;
            });
    }
    EXPECT_EQ(finished.load(), 8);
}

TEST(OrderedWork, withoutThreadsEachJobRunsOnTheCallersThreadAtSubmit)
{
    OrderedWork<std::thread::id> work(0, 2);
    int ran = 0;
    work.submit([&ran] {
        ++ran;
        return std::this_thread::get_id();
    });
    EXPECT_EQ(ran, 1);
    work.submit([]() -> std::thread::id { throw std::runtime_error("second failed"); });
    EXPECT_EQ(work.take(), std::this_thread::get_id());
    EXPECT_THROW(work.take(), std::runtime_error);
    EXPECT_TRUE(work.isEmpty());
}
