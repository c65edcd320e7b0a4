#pragma once

#include <algorithm>

namespace Extensions {

// A span of values between two bounds, each bound included or not.
template <typename T>
class Range
{
public:
    Range() = default;
    // The smaller value becomes the lower bound.
    Range(T first, T second, bool lowerIncluded = true, bool upperIncluded = true)
        : lower_(std::min(first, second))
        , upper_(std::max(first, second))
        , lowerIncluded_(lowerIncluded)
        , upperIncluded_(upperIncluded)
    {
    }

    T lower() const { return lower_; }
    T upper() const { return upper_; }
    bool lowerIncluded() const { return lowerIncluded_; }
    bool upperIncluded() const { return upperIncluded_; }

    bool contains(T value) const
    {
        const bool aboveLower = lowerIncluded_ ? value >= lower_ : value > lower_;
        const bool belowUpper = upperIncluded_ ? value <= upper_ : value < upper_;
        return aboveLower && belowUpper;
    }

    bool operator==(const Range& other) const
    {
        return lower_ == other.lower_ && upper_ == other.upper_ && lowerIncluded_ == other.lowerIncluded_
            && upperIncluded_ == other.upperIncluded_;
    }
    bool operator!=(const Range& other) const { return !(*this == other); }

private:
    T lower_ = T();
    T upper_ = T();
    bool lowerIncluded_ = true;
    bool upperIncluded_ = true;
};

} // namespace Extensions
