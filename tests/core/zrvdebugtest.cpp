#include "core/zrvdebug.h"
#include "support/logcapture.h"

#include <QLoggingCategory>
#include <gtest/gtest.h>

// Levels, spacing and quoting are pinned by the exact log lines that the streams' tests expect;
// what shows only here is that a line goes out under its own category, whose rules can silence a
// level.
TEST(ZrvDebug, linesGoOutUnderTheirCategoryAndItsRules)
{
    QLoggingCategory::setFilterRules("TXK.debug=false");
    {
        LogCapture log;
        ZrvDebug("TXK").debug() << "hidden";
        ZrvDebug("TXK").warning() << "shown";
        ZrvDebug("OTHER").error() << "elsewhere";
        EXPECT_EQ(log.texts(), QStringList{"shown"});
    }
    QLoggingCategory::setFilterRules(QString());
}
