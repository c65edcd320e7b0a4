#pragma once

#include "zrvstreams_export.h"

#include <QByteArray>

namespace ZRV::Stream::BlockLevel {

// Derives a distinct IV for every block index from one base IV: the index, big-endian, is
// XORed into the last bytes of the base IV. Index 0 gives the base IV; indexes that differ
// only in bytes beyond the IV's length give equal IVs.
class ZRVSTREAMS_EXPORT IvSequenceRandomAccessGenerator
{
public:
    explicit IvSequenceRandomAccessGenerator(const QByteArray& iv);

    QByteArray generateIv(unsigned long long index) const;
    // Significant bytes of n, at least 1.
    int numberSize(unsigned long long n) const;

private:
    int ivSize_;
    QByteArray iv_;
};

} // namespace ZRV::Stream::BlockLevel
