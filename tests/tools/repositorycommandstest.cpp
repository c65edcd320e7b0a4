// Repository rules of init, backup, check and revisions: settings fixed once, one writer, revisions
// that are never replaced, and damage that is reported instead of hidden.
#include "support/testbytes.h"
#include "tooltest.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Offsets in a map header.
const qint64 MapRevisionField = 14;

class RepositoryCommands : public ToolTest
{
protected:
    void SetUp() override
    {
        write("image", randomBytes(20 * 4096 + 100, 7));
        ASSERT_EQ(init("repo").exitCode, 0);
    }

    Run backup(const QStringList& options = {}) const
    {
        return runZrv(QStringList{"backup", "-q"} + options + QStringList{path("image"), path("repo")});
    }
    // Changes a few bytes of the image, so the next revision stores something.
    void touchImage(int seed) const
    {
        QFile image(path("image"));
        image.open(QIODevice::ReadWrite);
        image.seek(qint64(seed % 20) * 4096);
        image.write(randomBytes(100, quint32(seed)));
    }
    QString map(int revision) const { return QStringLiteral("repo/%1.map").arg(revision, 8, 10, QLatin1Char('0')); }
    QString data(int revision) const { return QStringLiteral("repo/%1.data").arg(revision, 8, 10, QLatin1Char('0')); }
    QStringList repositoryFiles() const
    {
        return QDir(path("repo")).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    bool restores(int revision, const QByteArray& expected)
    {
        const Run restore =
            runZrv({"restore", "-q", "--revision", QString::number(revision), path("repo"), path("out")});
        return restore.exitCode == 0 && read("out") == expected;
    }
};

} // namespace

TEST_F(RepositoryCommands, settingsAreFixedAtInit)
{
    struct Case
    {
        const char* name;
        QStringList arguments;
        QByteArray password;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {"notARepository", {"backup", "IMAGE", "NOWHERE"}, "secret", 1, "zrv init"},
        {"plainDirectory", {"backup", "IMAGE", "EMPTY"}, "secret", 1, "zrv init"},
        {"otherCipher", {"backup", "--cipher", "none", "IMAGE", "REPO"}, "secret", 2, "--cipher aes256"},
        {"otherCompression", {"backup", "--compress", "gzip", "IMAGE", "REPO"}, "secret", 2, "--compress lz4"},
        {"otherBlockSize", {"backup", "--block-size", "8192", "IMAGE", "REPO"}, "secret", 2, "--block-size 4096"},
        {"wrongPassword", {"backup", "IMAGE", "REPO"}, "wrong", 1, "password does not open"},
        {"initTwice", {"init", "REPO"}, "secret", 1, "a repository already"},
        {"initNonEmpty", {"init", "FULL"}, "secret", 1, "neither empty"},
        {"unknownCompression", {"init", "--compress", "zip", "NEW"}, "secret", 2, "--compress"},
    };
    QDir(dir_.path()).mkdir("empty");
    QDir(dir_.path()).mkdir("full");
    write("full/note", "x");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList arguments;
        for (const QString& argument : c.arguments)
            arguments << (argument.at(0).isUpper() ? path(argument.toLower()) : argument);
        const Run run = runZrv(arguments, c.password);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.constData();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.constData();
    }
    EXPECT_FALSE(QFile::exists(path("nowhere")));
    EXPECT_EQ(repositoryFiles(), QStringList{"settings"});

    // A wrong password is refused before the source is read: a FIFO nobody writes would hang.
    ASSERT_EQ(mkfifo(qPrintable(path("fifo")), 0600), 0);
    EXPECT_EQ(runZrv({"backup", path("fifo"), path("repo")}, "wrong").exitCode, 1);
}

TEST_F(RepositoryCommands, settingsFileIsAuthenticated)
{
    const QByteArray settings = read("repo/settings");
    ASSERT_EQ(settings.size(), 86);
    for (int offset : {0, 9, 12, 27, 28, 29, 33, 40, 52, 60, 85}) {
        SCOPED_TRACE(offset);
        write("repo/settings", flipped(settings, offset));
        const Run run = backup();
        EXPECT_EQ(run.exitCode, 1) << run.err.constData();
        EXPECT_TRUE(run.err.contains("repo/settings") || run.err.contains("password")) << run.err.constData();
    }
    write("repo/settings", settings);
    EXPECT_EQ(backup().exitCode, 0);
}

TEST_F(RepositoryCommands, initAdoptsADirectoryOfOldRevisions)
{
    // zrv 0.1.0 wrote version 4 maps; an adopted directory keeps them.
    initVersion4("repo");
    ASSERT_EQ(backup().exitCode, 0);
    QFile::remove(path("repo/settings"));
    const Run orphan = backup();
    EXPECT_EQ(orphan.exitCode, 1);
    EXPECT_TRUE(orphan.err.contains("zrv init")) << orphan.err.constData();
    // Readers need no settings.
    EXPECT_TRUE(restores(1, read("image")));

    EXPECT_EQ(runZrv({"init", "--cipher", "none", path("repo")}).exitCode, 2);
    EXPECT_EQ(runZrv({"init", "--kdf-iterations", "1000", path("repo")}, "wrong").exitCode, 1);
    const Run adopt = runZrv({"init", "--kdf-iterations", "1000", path("repo")});
    ASSERT_EQ(adopt.exitCode, 0) << adopt.err.constData();
    EXPECT_TRUE(adopt.out.startsWith("adopted")) << adopt.out.constData();
    touchImage(3);
    ASSERT_EQ(backup({"--block-size", "4096"}).exitCode, 0);
    EXPECT_TRUE(restores(2, read("image")));
}

TEST_F(RepositoryCommands, oneWriterAtATime)
{
    ASSERT_EQ(mkfifo(qPrintable(path("fifo")), 0600), 0);
    // The first backup holds the lock while it waits for its FIFO's writer.
    const auto first = startZrv({"backup", "-q", path("fifo"), path("repo")});
    // Opening the writing end succeeds once the backup opened its source (and so holds the lock).
    int descriptor = -1;
    QDeadlineTimer deadline(60'000);
    while ((descriptor = ::open(qPrintable(path("fifo")), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0 && errno == ENXIO
           && !deadline.hasExpired() && !first->waitForFinished(10)) { }
    ASSERT_GE(descriptor, 0) << first->readAllStandardError().constData();
    fcntl(descriptor, F_SETFL, 0); // blocking writes
    QFile fifo;
    ASSERT_TRUE(fifo.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
    fifo.write(read("image"));
    fifo.flush();
    // The lock is taken before the source is opened, so once the FIFO is open it is held.
    const Run second = backup();
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.err.contains(QStringLiteral("process %1").arg(first->processId()).toUtf8()))
        << second.err.constData();

    const auto waiting = startZrv({"backup", "-q", "--lock-wait", "60", path("image"), path("repo")});
    fifo.close();
    ASSERT_TRUE(first->waitForFinished(60'000));
    ASSERT_TRUE(waiting->waitForFinished(60'000));
    EXPECT_EQ(first->exitCode(), 0) << first->readAllStandardError().constData();
    EXPECT_EQ(waiting->exitCode(), 0) << waiting->readAllStandardError().constData();
    EXPECT_TRUE(restores(1, read("image")));
    EXPECT_TRUE(restores(2, read("image")));
}

TEST_F(RepositoryCommands, killedRunsLeaveNoRevisionAndNoDamage)
{
    write("image", randomBytes(3 << 20, 11));
    QList<QByteArray> revisions;
    QRandomGenerator random(13);
    for (int attempt = 0; attempt < 6; ++attempt) {
        SCOPED_TRACE(attempt);
        touchImage(attempt);
        const auto run = startZrv({"backup", "-q", path("image"), path("repo")});
        // A kill at a random point of the run, or none when the run ends first.
        if (!run->waitForFinished(int(random.bounded(20, 400)))) {
            ::kill(pid_t(run->processId()), SIGKILL);
            run->waitForFinished(10'000);
        }
        // A run killed after its map went in place made its revision all the same.
        if (QDir(path("repo")).entryList({"*.map"}, QDir::Files).size() > revisions.size())
            revisions << read("image");
        const Run check = runZrv({"check", "-q", path("repo")});
        EXPECT_EQ(check.exitCode, 0) << check.out.constData();
    }
    touchImage(99);
    // The process killed last may still be on its way out.
    const Run last = runZrv({"backup", "-q", "--lock-wait", "10", path("image"), path("repo")});
    ASSERT_EQ(last.exitCode, 0) << last.err.constData();
    revisions << read("image");
    EXPECT_FALSE(repositoryFiles().join(' ').contains(".incoming")) << qPrintable(repositoryFiles().join(' '));
    for (int revision = 1; revision <= revisions.size(); ++revision)
        EXPECT_TRUE(restores(revision, revisions[revision - 1])) << "revision " << revision;
}

TEST_F(RepositoryCommands, existingRevisionsAreNeverReplaced)
{
    ASSERT_EQ(backup().exitCode, 0);
    touchImage(1);
    ASSERT_EQ(backup().exitCode, 0);
    const QByteArray secondImage = read("image");
    const QByteArray secondData = read(data(2));

    // The newest map claims another revision: the run refuses before writing anything.
    const QByteArray map2 = read(map(2));
    write(map(2), flipped(map2, MapRevisionField, 0x01));
    touchImage(2);
    const Run refused = backup();
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("00000002.map") && refused.err.contains("revision 3")) << refused.err.constData();
    EXPECT_EQ(read(data(2)), secondData);
    EXPECT_EQ(repositoryFiles().filter("00000003").size(), 0);
    write(map(2), map2);

    // A data file already there under the next number is a leftover of a killed run.
    write(data(3), "left behind");
    ASSERT_EQ(backup().exitCode, 0);
    EXPECT_TRUE(restores(2, secondImage));
    EXPECT_TRUE(restores(3, read("image")));
}

TEST_F(RepositoryCommands, brokenChainsAreReported)
{
    ASSERT_EQ(backup().exitCode, 0);
    touchImage(1);
    ASSERT_EQ(backup().exitCode, 0);
    touchImage(2);
    ASSERT_EQ(backup().exitCode, 0);
    const QByteArray data1 = read(data(1));

    struct Case
    {
        const char* name;
        std::function<void()> damage;
        const char* file;
    };
    const Case cases[] = {
        {"lostData", [&] { QFile::remove(path(data(1))); }, "00000001.data"},
        {"cutData", [&] { write(data(1), data1.left(data1.size() / 2)); }, "00000001.data"},
        {"fifoData",
         [&] {
             QFile::remove(path(data(1)));
             mkfifo(qPrintable(path(data(1))), 0600);
         },
         "00000001.data"},
        {"flippedData", [&] { write(data(1), flipped(data1, 100)); }, "00000001.data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.damage();
        const Run check = runZrv({"check", "--json", path("repo")});
        EXPECT_EQ(check.exitCode, 1);
        const QJsonArray report = QJsonDocument::fromJson(check.out).array();
        ASSERT_EQ(report.size(), 3) << check.out.constData();
        EXPECT_FALSE(report[0].toObject()["ok"].toBool());
        const QJsonObject problem = report[0].toObject()["problems"].toArray()[0].toObject();
        EXPECT_TRUE(problem["file"].toString().endsWith(c.file)) << check.out.constData();
        EXPECT_EQ(runZrv({"restore", "--revision", "1", path("repo"), path("out")}).exitCode, 1);
        if (QString(c.name) != "flippedData") {
            // Cheap enough for every run: a backup on a broken chain refuses and points at check.
            const Run refused = backup();
            EXPECT_EQ(refused.exitCode, 1);
            EXPECT_TRUE(refused.err.contains("zrv check")) << refused.err.constData();
        }
        QFile::remove(path(data(1)));
        write(data(1), data1);
    }
    EXPECT_EQ(runZrv({"check", "-q", path("repo")}).exitCode, 0);

    // One damaged map hides no other revision.
    const QByteArray map2 = read(map(2));
    write(map(2), map2.left(100));
    const Run list = runZrv({"revisions", "--json", path("repo")});
    EXPECT_EQ(list.exitCode, 1);
    const QJsonArray rows = QJsonDocument::fromJson(list.out).array();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[1].toObject().contains("damaged"));
    EXPECT_EQ(rows[2].toObject()["blocks"].toInt(), 21);
    const Run check = runZrv({"check", "--revision", "2", path("repo")});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_TRUE(check.out.contains("revision 2")) << check.out.constData();
}

TEST_F(RepositoryCommands, longChainsRestoreWithFewOpenFiles)
{
    // Revision r + 1 changes block r only, so the last revision refers to the data of every revision.
    const int revisions = 40;
    QDir(path("repo")).removeRecursively();
    ASSERT_EQ(init("repo", {"--cipher", "none"}).exitCode, 0);
    write("image", randomBytes(revisions * 4096, 1));
    for (int revision = 1; revision <= revisions; ++revision) {
        if (revision > 1) {
            QFile image(path("image"));
            image.open(QIODevice::ReadWrite);
            image.seek(qint64(revision - 1) * 4096);
            image.write(randomBytes(16, quint32(revision)));
        }
        ASSERT_EQ(backup().exitCode, 0) << "revision " << revision;
    }
    // Opening every data file at once needs more descriptors than the limit leaves.
    EXPECT_EQ(shell(QStringLiteral("ulimit -n 24 && \"$ZRV\" restore -q %1 %2").arg(path("repo"), path("out"))), 0);
    EXPECT_EQ(read("out"), read("image"));
}

TEST_F(RepositoryCommands, filesArePrivate)
{
    const mode_t saved = umask(022);
    ASSERT_EQ(backup().exitCode, 0);
    ASSERT_EQ(runZrv({"restore", "-q", path("repo"), path("out")}).exitCode, 0);
    ASSERT_EQ(runZrv({"pack", "-q", path("image"), path("box")}).exitCode, 0);
    umask(saved);
    for (const QString& name : QStringList{"repo", "repo/settings", map(1), data(1), "out", "box"}) {
        struct stat status
        {
        };
        ASSERT_EQ(stat(qPrintable(path(name)), &status), 0) << qPrintable(name);
        EXPECT_EQ(status.st_mode & 0777, S_ISDIR(status.st_mode) ? 0700u : 0600u) << qPrintable(name);
    }

    // A symbolic link planted under a temporary name is removed, never followed.
    write("protected", "root only");
    ASSERT_EQ(QFile::link(path("protected"), path("repo/.incoming-1.map")), true);
    touchImage(4);
    ASSERT_EQ(backup().exitCode, 0);
    EXPECT_EQ(read("protected"), "root only");
    EXPECT_FALSE(QFileInfo(path("repo/.incoming-1.map")).isSymLink());
}

TEST_F(RepositoryCommands, plainRevisionsInAnEncryptedRepositoryAreRefused)
{
    ASSERT_EQ(init("plain", {"--cipher", "none"}).exitCode, 0);
    ASSERT_EQ(runZrv({"backup", "-q", path("image"), path("plain")}).exitCode, 0);
    QFile::copy(path("plain/00000001.map"), path(map(1)));
    QFile::copy(path("plain/00000001.data"), path(data(1)));
    for (const QStringList& arguments :
         {QStringList{"restore", path("repo"), path("out")}, QStringList{"check", path("repo")},
          QStringList{"backup", path("image"), path("repo")}}) {
        SCOPED_TRACE(qPrintable(arguments.first()));
        const Run run = runZrv(arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE((run.out + run.err).contains("not encrypted") || run.err.contains("plain")
                    || (run.out + run.err).contains("version 4"))
            << run.out.constData() << run.err.constData();
    }
    EXPECT_FALSE(QFile::exists(path("out")));
}
