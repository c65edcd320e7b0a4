#include "blocklevel/ivsequencerandomaccessgenerator.h"

#include <gtest/gtest.h>

using ZRV::Stream::BlockLevel::IvSequenceRandomAccessGenerator;

// Every significant byte of the index must reach the IV, or two blocks would share one.
TEST(IvSequenceRandomAccessGenerator, xorsTheIndexBigEndianIntoTheLastBytes)
{
    const QByteArray base = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    const IvSequenceRandomAccessGenerator generator(base);
    EXPECT_EQ(generator.generateIv(0), base);
    EXPECT_EQ(generator.generateIv(0x0102), QByteArray::fromHex("00112233445566778899aabbccddef fd"));
    EXPECT_EQ(generator.generateIv(0xFFFFFFFFFFFFFFFFull), QByteArray::fromHex("0011223344556677 7766554433221100"));

    const std::pair<unsigned long long, int> sizes[] = {
        {0, 1},          {255, 1},        {256, 2},        {0xFFFF, 2},     {1ull << 16, 3}, {1ull << 24, 4},
        {1ull << 32, 5}, {1ull << 40, 6}, {1ull << 48, 7}, {1ull << 56, 8}, {~0ull, 8}};
    for (const auto& [number, size] : sizes)
        EXPECT_EQ(generator.numberSize(number), size) << number;

    const IvSequenceRandomAccessGenerator shortIv(QByteArray::fromHex("0000"));
    EXPECT_EQ(shortIv.generateIv(0x030201), QByteArray::fromHex("0201"));
    EXPECT_EQ(shortIv.generateIv(0x0201), shortIv.generateIv(0x050201));
}
