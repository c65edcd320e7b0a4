#include "core/zrvdebug.h"
#include "support/logcapture.h"

#include <QLoggingCategory>
#include <gtest/gtest.h>

TEST(ZrvDebug, levelsMapToQtTypesUnderTheCategoryAndItsRules)
{
    {
        LogCapture log;
        ZrvDebug("TXK").debug() << "one" << 2;
        ZrvDebug("TXK").infoH() << "info";
        ZrvDebug("TXK").warning() << "warn" << QString("quoted");
        ZrvDebug("TXK").error() << "bad";
        ZrvDebug("OTHER").error() << "elsewhere";
        EXPECT_EQ(log.texts(), QStringList({"one 2", "info", "warn \"quoted\"", "bad"}));
        const QtMsgType types[] = {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg};
        for (int i = 0; i < log.lines().size() && i < 4; ++i)
            EXPECT_EQ(log.lines()[i].type, types[i]) << i;
    }
    QLoggingCategory::setFilterRules("TXK.debug=false");
    {
        LogCapture log;
        ZrvDebug("TXK").debug() << "hidden";
        ZrvDebug("TXK").warning() << "shown";
        EXPECT_EQ(log.texts(), QStringList{"shown"});
    }
    QLoggingCategory::setFilterRules(QString());
}
