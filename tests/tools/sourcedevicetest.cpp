// The tool's input device: whole reads, the real end, shrinking sources and unused-block marks.
#include "sourcedevice.h"
#include "support/testbytes.h"

#include <QFile>
#include <QTemporaryDir>
#include <QVariant>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const int Block = 4096;

int usedMark(const QIODevice& device)
{
    return device.property("IS_USED").toInt();
}

} // namespace

TEST(SourceDevice, marksHolesAndZeroBlocksOfEveryKindOfInput)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sparse");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(Block, '\0')); // allocated zeros: a regular file tells holes only
    file.seek(2 * Block);
    file.write(randomBytes(Block, 1)); // block 1 stays a hole
    file.close();

    SourceDevice regular(path, true);
    ASSERT_TRUE(regular.open(QIODevice::ReadOnly));
    EXPECT_EQ(regular.size(), 3 * Block);
    QByteArray block(Block, Qt::Uninitialized);
    const int expectedFile[] = {1, 0, 1};
    for (int expected : expectedFile) {
        ASSERT_EQ(regular.read(block.data(), Block), Block);
        EXPECT_EQ(usedMark(regular), expected);
    }
    EXPECT_TRUE(regular.atEnd());

    // A pipe tells no holes: its zero blocks are marked unused, and its end is where the writer stopped.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const QByteArray bytes = QByteArray(Block, '\0') + randomBytes(Block, 2) + QByteArray(100, '\0');
    ASSERT_EQ(::write(fds[1], bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fds[1]);
    ASSERT_EQ(dup2(fds[0], STDIN_FILENO), STDIN_FILENO);
    ::close(fds[0]);
    SourceDevice piped(QStringLiteral("-"), true);
    ASSERT_TRUE(piped.open(QIODevice::ReadOnly));
    EXPECT_TRUE(piped.isSequential());
    const int expectedPipe[] = {0, 1, 0};
    const int lengths[] = {Block, Block, 100};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(piped.atEnd());
        ASSERT_EQ(piped.read(block.data(), Block), lengths[i]);
        EXPECT_EQ(usedMark(piped), expectedPipe[i]);
    }
    EXPECT_TRUE(piped.atEnd());
}

TEST(SourceDevice, aSourceThatShrinksFailsTheRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("shrinking");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(randomBytes(3 * Block, 3));
    file.close();

    SourceDevice source(path);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray block(Block, Qt::Uninitialized);
    ASSERT_EQ(source.read(block.data(), Block), Block);
    ASSERT_TRUE(QFile::resize(path, Block + 10));
    EXPECT_EQ(source.read(block.data(), Block), -1);
    EXPECT_EQ(source.errorString(), path + " shrank while it was read");

    SourceDevice missing(dir.filePath("none"));
    EXPECT_FALSE(missing.open(QIODevice::ReadOnly));
    EXPECT_EQ(missing.errorString(), "cannot open " + dir.filePath("none") + ": No such file or directory");
}
