#pragma once

#include "stream/orderedwork.h"

#include <QtGlobal>

#include <algorithm>
#include <memory>

namespace ZRV::Stream::BlockLevel {

// What the blocks in flight of one stream may hold at most. A job holds up to about four blocks
// at once: its input, its result and the buffers of the stages in between.
constexpr qint64 BlockWorkBudget = 24 << 20;
constexpr qint64 BlocksHeldPerJob = 4;

// The ordered work of a block-level stream given `workers` workers. One worker starts no thread:
// each block is worked on the caller's thread when it is submitted, one at a time. More workers
// read ahead up to twice as many blocks as there are workers, within BlockWorkBudget.
template <typename Result>
std::unique_ptr<OrderedWork<Result>> makeBlockWork(int workers, qint64 blockSize)
{
    if (workers <= 1)
        return std::make_unique<OrderedWork<Result>>(0, 1);
    const qint64 fitting = std::max<qint64>(1, BlockWorkBudget / (BlocksHeldPerJob * std::max<qint64>(blockSize, 1)));
    const int depth = int(std::min<qint64>(2 * qint64(workers), fitting));
    return std::make_unique<OrderedWork<Result>>(std::min(workers, depth), depth);
}

} // namespace ZRV::Stream::BlockLevel
