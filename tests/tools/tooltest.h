#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Runs the built zrv binary the way a user's shell would, over files in a directory of the test's own.
class ToolTest : public testing::Test
{
protected:
    struct Run
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    // `password` empty: ZRV_PASSWORD is not set. `input` goes to standard input.
    static Run runZrv(const QStringList& arguments, const QByteArray& password = "secret",
                      const QByteArray& input = QByteArray());

    QString path(const QString& name) const { return dir_.filePath(name); }
    // Writes the file and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    // The file's bytes, empty if there is none.
    QByteArray read(const QString& name) const;

    QTemporaryDir dir_;
};
