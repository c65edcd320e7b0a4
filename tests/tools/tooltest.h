#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

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
    // Starts zrv without waiting for it, standard input left open.
    static std::unique_ptr<QProcess> startZrv(const QStringList& arguments, const QByteArray& password = "secret");
    // Runs a shell command line (for pipes, FIFOs and limits); the exit code, -1 when it hung.
    static int shell(const QString& commandLine);
    // `zrv init` with 4 KiB blocks and cheap key derivation, so the suite stays fast.
    Run init(const QString& repository, const QStringList& options = {}) const;
    // An encrypted repository (password "secret", AES-256, 4 KiB blocks) whose backups write the
    // version 4 maps of zrv 0.1.0, as `zrv init` leaves a directory it adopted.
    void initVersion4(const QString& repository) const;

    QString path(const QString& name) const { return dir_.filePath(name); }
    // Writes the file and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    // The file's bytes, empty if there is none.
    QByteArray read(const QString& name) const;

    QTemporaryDir dir_;
};
