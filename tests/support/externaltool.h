#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

// Interop tests tie the formats to programs nobody here wrote; they skip where one is missing.
inline bool installed(const char* program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

// The program's standard output for `input`; the test fails if it does not succeed in time.
inline QByteArray runTool(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForStarted(10000)) << program.toStdString();
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}
