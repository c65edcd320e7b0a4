#include "blocklevel/ivsequencerandomaccessgenerator.h"

#include <algorithm>

namespace ZRV::Stream::BlockLevel {

IvSequenceRandomAccessGenerator::IvSequenceRandomAccessGenerator(const QByteArray& iv)
    : ivSize_(iv.size())
    , iv_(iv)
{
}

QByteArray IvSequenceRandomAccessGenerator::generateIv(unsigned long long index) const
{
    QByteArray result = iv_;
    const int mixed = std::min(ivSize_, numberSize(index));
    for (int i = 0; i < mixed; ++i)
        result[ivSize_ - 1 - i] = char(result[ivSize_ - 1 - i] ^ ((index >> (8 * i)) & 0xFF));
    return result;
}

int IvSequenceRandomAccessGenerator::numberSize(unsigned long long n) const
{
    int size = 1;
    while (size < 8 && (n >> (8 * size)) != 0)
        ++size;
    return size;
}

} // namespace ZRV::Stream::BlockLevel
