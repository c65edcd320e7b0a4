// What zrv reads from and writes to: block devices, pipes and FIFOs, sparse files, and names that
// are not regular files.
#include "support/testbytes.h"
#include "tooltest.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

namespace {

// A loop device over a file of the test, detached when destroyed; `path` is empty where the
// kernel has none (the test says so and skips).
class LoopDevice
{
public:
    LoopDevice(const QString& file, qint64 size)
    {
        QFile backing(file);
        backing.open(QIODevice::ReadWrite);
        backing.resize(size);
        backing.close();
        QProcess losetup;
        losetup.start("losetup", {"-f", "--show", file});
        if (losetup.waitForFinished(10'000) && losetup.exitCode() == 0)
            path = QString::fromUtf8(losetup.readAllStandardOutput()).trimmed();
    }
    ~LoopDevice()
    {
        if (!path.isEmpty())
            QProcess::execute("losetup", {"-d", path});
    }
    QString path;
};

class SourcesAndTargets : public ToolTest
{
protected:
    void SetUp() override { ASSERT_EQ(init("repo").exitCode, 0); }

    QByteArray restored(int revision)
    {
        const Run restore =
            runZrv({"restore", "-q", "--revision", QString::number(revision), path("repo"), path("out")});
        EXPECT_EQ(restore.exitCode, 0) << restore.err.constData();
        return read("out");
    }
};

} // namespace

TEST_F(SourcesAndTargets, everyKindOfSourceIsReadToItsEnd)
{
    // Pieces of odd sizes, so pipe reads never line up with blocks.
    QByteArray image = randomBytes(5 * 4096 + 1000, 3);
    image.insert(4096, QByteArray(3 * 4096, '\0'));
    write("image", image);
    ASSERT_EQ(mkfifo(qPrintable(path("image.fifo")), 0600), 0);
    struct Case
    {
        const char* name;
        QString commandLine;
    };
    const QString backup = QStringLiteral("\"$ZRV\" backup -q --variant image ");
    const Case cases[] = {
        {"dash", QStringLiteral("(head -c 5000 %1; tail -c +5001 %1) | %2 - %3")},
        {"devStdin", QStringLiteral("cat %1 | %2 /dev/stdin %3")},
        {"processSubstitution", QStringLiteral("%2 <(cat %1) %3")},
        {"fifo", QStringLiteral("cat %1 > %1.fifo & %2 %1.fifo %3")},
    };
    int revision = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(shell(c.commandLine.arg(path("image"), backup, path("repo"))), 0);
        EXPECT_EQ(restored(++revision), image);
    }
    // Zero blocks of a source without hole information are recorded unused.
    const Run list = runZrv({"revisions", "--json", path("repo")});
    EXPECT_TRUE(list.out.contains("\"storedBlocks\":6")) << list.out.constData();

    LoopDevice loop(path("disk"), 1 << 20);
    if (loop.path.isEmpty()) {
        GTEST_SKIP() << "the kernel offers no loop device here";
    }
    QFile disk(path("disk"));
    disk.open(QIODevice::ReadWrite);
    disk.write(image);
    disk.close();
    for (const char* variant : {"file", "image"}) {
        SCOPED_TRACE(variant);
        const Run run = runZrv({"backup", "-q", "--variant", variant, loop.path, path("repo")});
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_EQ(restored(++revision), read("disk"));
        EXPECT_EQ(read("out").size(), 1 << 20);
    }
}

TEST_F(SourcesAndTargets, restoresOntoDevicesFifosAndSparseFiles)
{
    QByteArray image(64 * 4096, '\0');
    image.replace(10 * 4096, 5000, randomBytes(5000, 9));
    image.replace(50 * 4096, 100, randomBytes(100, 10));
    write("image", image);
    ASSERT_EQ(runZrv({"backup", "-q", "--variant", "image", path("image"), path("repo")}).exitCode, 0);

    // Zero blocks become holes: only the three blocks with data are allocated.
    ASSERT_EQ(restored(1), image);
    struct stat status
    {
    };
    ASSERT_EQ(stat(qPrintable(path("out")), &status), 0);
    EXPECT_LE(status.st_blocks * 512, 4 * 4096);

    ASSERT_EQ(mkfifo(qPrintable(path("fifo")), 0600), 0);
    EXPECT_EQ(shell(QStringLiteral("cat %1 > %2 & \"$ZRV\" restore -q %3 %1; wait $!")
                        .arg(path("fifo"), path("streamed"), path("repo"))),
              0);
    EXPECT_EQ(read("streamed"), image);
    EXPECT_TRUE(QFileInfo(path("fifo")).isFile() == false);

    // A symbolic link is no place to rename a file over.
    write("target", "untouched");
    QFile::link(path("target"), path("link"));
    const Run link = runZrv({"restore", path("repo"), path("link")});
    EXPECT_EQ(link.exitCode, 1);
    EXPECT_TRUE(link.err.contains("symbolic link")) << link.err.constData();
    EXPECT_EQ(read("target"), "untouched");

    // Binary output to a terminal is refused before anything is read.
    EXPECT_EQ(shell(QStringLiteral("script -qec '\"$ZRV\" restore %1 -' /dev/null < /dev/null").arg(path("repo"))), 1);

    LoopDevice small(path("small"), 128 * 1024);
    LoopDevice large(path("large"), 1 << 20);
    if (small.path.isEmpty() || large.path.isEmpty()) {
        GTEST_SKIP() << "the kernel offers no loop device here";
    }
    const Run tooSmall = runZrv({"restore", path("repo"), small.path});
    EXPECT_EQ(tooSmall.exitCode, 1);
    EXPECT_TRUE(tooSmall.err.contains("the device holds 131072 bytes")) << tooSmall.err.constData();
    const Run device = runZrv({"restore", "-q", path("repo"), large.path});
    ASSERT_EQ(device.exitCode, 0) << device.err.constData();
    EXPECT_TRUE(QFileInfo(large.path).exists());
    EXPECT_EQ(read("large").left(image.size()), image);
}

TEST_F(SourcesAndTargets, fullDisksAndMissingFilesAreNamed)
{
    QDir(dir_.path()).mkdir("small");
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", path("small")}) != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    }
    write("image", randomBytes(1 << 20, 4));
    ASSERT_EQ(init("small/repo").exitCode, 0);
    const Run backup = runZrv({"backup", "-q", path("image"), path("small/repo")});
    const Run unpack = runZrv({"pack", "-q", "--cipher", "none", "--no-compress", path("image"), path("small/box")});
    const QStringList left = QDir(path("small/repo")).entryList(QDir::Files | QDir::Hidden);
    const QStringList boxes = QDir(path("small")).entryList(QDir::Files | QDir::Hidden);
    QProcess::execute("umount", {path("small")});

    for (const Run& run : {backup, unpack}) {
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("No space left on device")) << run.err.constData();
        EXPECT_FALSE(run.err.contains("Unknown error")) << run.err.constData();
    }
    EXPECT_EQ(left, QStringList{"settings"});
    EXPECT_TRUE(boxes.isEmpty()) << qPrintable(boxes.join(' '));

    const Run missing = runZrv({"backup", path("nothing"), path("repo")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("nothing: No such file or directory")) << missing.err.constData();
}

TEST_F(SourcesAndTargets, usageLinesNameTheCommand)
{
    const Run usage = runZrv({"restore"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_TRUE(usage.err.contains("zrv restore [options] REPO OUT")) << usage.err.constData();
    for (const char* help : {"--help", "--help-all"}) {
        const Run run = runZrv({"restore", help});
        EXPECT_EQ(run.exitCode, 0) << help;
        EXPECT_TRUE(run.out.startsWith("Usage: zrv restore [options] REPO OUT\n")) << run.out.constData();
    }
}
