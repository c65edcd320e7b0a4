#include "core/zrvdebug.h"
#include "support/logcapture.h"

#include <QLoggingCategory>
#include <gtest/gtest.h>

TEST(ZrvDebug, eachLevelMapsToAQtMessageType)
{
    LogCapture log;
    ZrvDebug("TXK").debug() << "one" << 2;
    ZrvDebug("TXK").infoH() << "info";
    ZrvDebug("TXK").warning() << "warn" << QString("quoted");
    ZrvDebug("TXK").error() << "bad";
    ZrvDebug("OTHER").error() << "elsewhere";

    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0].type, QtDebugMsg);
    EXPECT_EQ(lines[0].text, "one 2");
    EXPECT_EQ(lines[1].type, QtInfoMsg);
    EXPECT_EQ(lines[2].type, QtWarningMsg);
    EXPECT_EQ(lines[2].text, "warn \"quoted\"");
    EXPECT_EQ(lines[3].type, QtCriticalMsg);
}

TEST(ZrvDebug, categoryIsFilteredByLoggingRules)
{
    QLoggingCategory::setFilterRules("TXK.debug=false");
    {
        LogCapture log;
        ZrvDebug("TXK").debug() << "hidden";
        ZrvDebug("TXK").warning() << "shown";
        EXPECT_EQ(log.texts(), QStringList{"shown"});
    }
    QLoggingCategory::setFilterRules(QString());
}
