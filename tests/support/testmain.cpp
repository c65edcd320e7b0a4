#include <QCoreApplication>
#include <gtest/gtest.h>

// Every test program runs with a QCoreApplication, so event loops, timers and queued signals work.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
