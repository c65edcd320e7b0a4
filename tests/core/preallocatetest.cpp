#include "core/utility/preallocate.h"

#include <QTemporaryFile>
#include <gtest/gtest.h>

TEST(PreallocateFile, reservesTheRequestedSizeOrFails)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    EXPECT_TRUE(ZRV::Utility::preallocateFile(file.handle(), 0));
    EXPECT_EQ(file.size(), 0);
    EXPECT_TRUE(ZRV::Utility::preallocateFile(file.handle(), 1 << 20));
    EXPECT_EQ(file.size(), 1 << 20);
    EXPECT_FALSE(ZRV::Utility::preallocateFile(-1, 4096));
}
