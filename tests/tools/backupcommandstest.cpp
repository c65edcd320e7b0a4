// backup, restore and revisions, driven through the built binary.
#include "support/testbytes.h"
#include "tooltest.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const int BlockSize = 4096;

class BackupCommands : public ToolTest
{
protected:
    // Writes `length` bytes at `offset` of the image (extending it), leaving holes elsewhere.
    void writeImage(qint64 offset, int length, char seed) const
    {
        QFile image(path("image"));
        image.open(QIODevice::ReadWrite);
        image.seek(offset);
        image.write(randomBytes(length, quint32(seed)));
    }

    Run backup(const QString& variant, const QString& compress, const QString& cipher) const
    {
        return runZrv({"backup", "-q", "--variant", variant, "--block-size", QString::number(BlockSize), "--compress",
                       compress, "--cipher", cipher, path("image"), path("repo")});
    }
};

} // namespace

TEST_F(BackupCommands, chainRestoresEveryRevision)
{
    struct Case
    {
        const char* variant;
        const char* compress;
        const char* cipher;
    };
    for (const Case& c :
         {Case{"image", "lz4", "aes256"}, Case{"file", "gzip", "aes128"}, Case{"image", "none", "none"}}) {
        SCOPED_TRACE(testing::Message() << c.variant << " " << c.compress << " " << c.cipher);
        QDir(path("repo")).removeRecursively();
        QFile::remove(path("image"));
        ASSERT_EQ(init("repo", {"--compress", c.compress, "--cipher", c.cipher}).exitCode, 0);

        QList<QByteArray> revisions;
        writeImage(0, 3 * BlockSize, 'a');
        writeImage(40 * BlockSize, BlockSize + 100, 'b');
        revisions << read("image");
        ASSERT_EQ(backup(c.variant, c.compress, c.cipher).exitCode, 0);

        writeImage(BlockSize + 5, 10, 'c'); // one block changed
        writeImage(60 * BlockSize, BlockSize, 'd'); // the image grows
        revisions << read("image");
        ASSERT_EQ(backup(c.variant, c.compress, c.cipher).exitCode, 0);

        QFile::resize(path("image"), 20 * BlockSize + 7); // and shrinks
        revisions << read("image");
        ASSERT_EQ(backup(c.variant, c.compress, c.cipher).exitCode, 0);

        for (int revision = 1; revision <= revisions.size(); ++revision) {
            const Run restore =
                runZrv({"restore", "-q", "--revision", QString::number(revision), path("repo"), path("out")});
            ASSERT_EQ(restore.exitCode, 0) << restore.err.constData();
            EXPECT_EQ(read("out"), revisions[revision - 1]) << "revision " << revision;
        }

        const Run list = runZrv({"revisions", "--json", path("repo")});
        ASSERT_EQ(list.exitCode, 0);
        const QJsonArray rows = QJsonDocument::fromJson(list.out).array();
        ASSERT_EQ(rows.size(), 3);
        EXPECT_EQ(rows[1].toObject()["length"].toInt(), 61 * BlockSize);
        EXPECT_EQ(rows[1].toObject()["blocks"].toInt(), 61);
        // Revision 2 stores the changed block, the old short last block now grown, and the new last
        // block; a plain file also stores the zero blocks between them, which an image records as
        // unused. Revision 3 cuts block 20 short: a hole in the image, new content for a file.
        const bool image = QString(c.variant) == "image";
        EXPECT_EQ(rows[1].toObject()["storedBlocks"].toInt(), image ? 3 : 21);
        EXPECT_EQ(rows[2].toObject()["storedBlocks"].toInt(), image ? 0 : 1);
        EXPECT_EQ(rows[2].toObject()["cipher"].toString(), c.cipher);
    }
}

TEST_F(BackupCommands, refusesWrongPasswordsAndMissingData)
{
    writeImage(0, 5 * BlockSize, 'x');
    ASSERT_EQ(init("repo").exitCode, 0);
    ASSERT_EQ(backup("file", "lz4", "aes256").exitCode, 0);

    const Run wrongBackup = runZrv({"backup", path("image"), path("repo")}, "wrong");
    EXPECT_EQ(wrongBackup.exitCode, 1);
    EXPECT_TRUE(wrongBackup.err.contains("password")) << wrongBackup.err.constData();
    const Run wrongRestore = runZrv({"restore", path("repo"), path("out")}, "wrong");
    EXPECT_EQ(wrongRestore.exitCode, 1);
    EXPECT_FALSE(QFile::exists(path("out")));

    QFile::remove(path("repo/00000001.data"));
    EXPECT_EQ(runZrv({"restore", path("repo"), path("out")}).exitCode, 1);
    EXPECT_EQ(runZrv({"restore", "--revision", "7", path("repo"), path("out")}).exitCode, 1);
    EXPECT_EQ(runZrv({"restore", path("nowhere"), path("out")}).exitCode, 1);
    EXPECT_EQ(runZrv({"backup", "--compress", "zip", path("image"), path("repo")}).exitCode, 2);
    EXPECT_FALSE(QFile::exists(path("out")));
}

// A stretch of unchanged blocks yields no bytes from the backup stream; the tool must read on.
TEST_F(BackupCommands, unchangedIncrementalOfALargeFileStoresNothing)
{
    writeImage(0, 3 << 20, 'u');
    ASSERT_EQ(init("repo").exitCode, 0);
    ASSERT_EQ(backup("file", "lz4", "aes256").exitCode, 0);
    const Run again = backup("file", "lz4", "aes256");
    ASSERT_EQ(again.exitCode, 0) << again.err.constData();
    const Run list = runZrv({"revisions", "--json", path("repo")});
    EXPECT_EQ(QJsonDocument::fromJson(list.out).array()[1].toObject()["storedBytes"].toInt(), 0);
}

// The number of jobs changes how fast, never what: the same stored bytes and maps, the same restore.
TEST_F(BackupCommands, jobsChangeNothingButTheSpeed)
{
    writeImage(0, 30 * BlockSize, 'a');
    writeImage(50 * BlockSize, 20 * BlockSize, 'b');
    const QByteArray image = read("image");
    QList<QByteArray> stored;
    for (const char* jobs : {"1", "3"}) {
        const QString repo = QStringLiteral("repo-%1").arg(jobs);
        ASSERT_EQ(init(repo, {"--compress", "lz4", "--cipher", "none"}).exitCode, 0);
        const Run backup = runZrv({"backup", "-q", "--jobs", jobs, path("image"), path(repo)});
        ASSERT_EQ(backup.exitCode, 0) << backup.err.constData();
        stored << read(repo + "/00000001.data") + read(repo + "/00000001.map");
        const Run restore = runZrv({"restore", "-q", "--jobs", jobs, path(repo), path("out")});
        ASSERT_EQ(restore.exitCode, 0) << restore.err.constData();
        EXPECT_EQ(read("out"), image);
        EXPECT_EQ(runZrv({"check", "-q", "--jobs", jobs, path(repo)}).exitCode, 0);
    }
    EXPECT_FALSE(stored[0].isEmpty());
    EXPECT_EQ(stored[0], stored[1]);
    for (const QStringList& arguments :
         {QStringList{"backup", path("image"), path("repo-1")}, QStringList{"restore", path("repo-1"), path("out")},
          QStringList{"check", path("repo-1")}}) {
        const Run refused = runZrv(arguments + QStringList{"--jobs", "0"});
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_EQ(refused.err, "zrv: --jobs takes a whole number of at least 1\n");
    }
}
