// Every command of zrv against an S3 store, interoperability with s3cmd, the lock object and faults.
#include "../cloud/faultproxy.h"
#include "s3tooltest.h"
#include "support/testbytes.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

namespace {

class S3Commands : public S3ToolTest
{
protected:
    // A 1 MiB image, changed in a few blocks by each further call.
    QString image(int generation)
    {
        QByteArray bytes = randomBytes(1 << 20, 7);
        for (int change = 1; change <= generation; ++change)
            bytes.replace(change * 40960, 8192, randomBytes(8192, quint32(change)));
        write("image", bytes);
        return path("image");
    }

    // A lock object as another writer leaves it.
    QByteArray lockObject(qint64 pid, const QString& host, const QDateTime& refreshed) const
    {
        const QString time = refreshed.toUTC().toString(Qt::ISODate);
        return QStringLiteral("zrv-lock 1\npid %1\nhost %2\nsince %3\nrefreshed %3\ntoken 0123abcd\n")
            .arg(pid)
            .arg(host, time)
            .toUtf8();
    }
};

} // namespace

TEST_F(S3Commands, everyRepositoryCommandWorksOnTheStore)
{
    const QString repository = url("backups/disk");
    for (const QStringList& options : {QStringList{}, QStringList{"--cipher", "none", "--compress", "none"}}) {
        SCOPED_TRACE(options.join(' ').toStdString());
        s3cmd({"del", "--recursive", "--force", url("backups/")});
        const Run init = initStore(repository, options);
        ASSERT_EQ(init.exitCode, 0) << init.err.toStdString();
        EXPECT_EQ(runZrv({"init", repository}).exitCode, 1) << "a repository is never made twice";
        QList<QByteArray> images;
        for (int generation = 0; generation < 3; ++generation) {
            image(generation);
            images << read("image");
            const Run backup = runZrv({"backup", "-q", path("image"), repository});
            ASSERT_EQ(backup.exitCode, 0) << backup.err.toStdString();
        }
        const Run revisions = runZrv({"revisions", "--json", repository});
        ASSERT_EQ(revisions.exitCode, 0) << revisions.err.toStdString();
        const QJsonArray list = QJsonDocument::fromJson(revisions.out).array();
        ASSERT_EQ(list.size(), 3);
        EXPECT_LT(list[2].toObject()["storedBytes"].toInt(), 64 * 1024) << "the last run is incremental";
        EXPECT_FALSE(list[2].toObject()["time"].toString().isEmpty());
        EXPECT_EQ(runZrv({"check", "-q", repository}).exitCode, 0);
        for (int revision = 1; revision <= 3; ++revision) {
            const Run restore =
                runZrv({"restore", "-q", "--revision", QString::number(revision), repository, path("out")});
            ASSERT_EQ(restore.exitCode, 0) << restore.err.toStdString();
            EXPECT_EQ(read("out"), images[revision - 1]) << "revision " << revision;
        }
        EXPECT_TRUE(get("backups/disk/lock").isEmpty()) << "the lock object goes with the run";
    }
    // A lost data object is found by check and stops further backups.
    ASSERT_EQ(s3cmd({"del", url("backups/disk/00000001.data")}), 0);
    const Run check = runZrv({"check", repository});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_TRUE(check.out.contains(url("backups/disk/00000001.data").toUtf8() + ": there is no such object"))
        << check.out.toStdString();
    const Run backup = runZrv({"backup", "-q", path("image"), repository});
    EXPECT_EQ(backup.exitCode, 1);
    EXPECT_TRUE(backup.err.contains("cannot be continued")) << backup.err.toStdString();
}

TEST_F(S3Commands, repositoriesMoveBetweenDirectoryAndStoreWithS3cmdSync)
{
    // A directory repository synced up restores from the store and takes further backups there.
    ASSERT_EQ(runZrv({"init", "-q", "--kdf-iterations", "1000", "--block-size", "4096", path("local")}).exitCode, 0);
    ASSERT_EQ(runZrv({"backup", "-q", image(0), path("local")}).exitCode, 0);
    ASSERT_EQ(s3cmd({"sync", path("local") + "/", url("up/")}), 0);
    ASSERT_EQ(runZrv({"backup", "-q", image(1), url("up")}).exitCode, 0);
    ASSERT_EQ(runZrv({"restore", "-q", url("up"), path("out")}).exitCode, 0);
    EXPECT_EQ(read("out"), read("image"));
    ASSERT_EQ(runZrv({"restore", "-q", "--revision", "1", url("up"), path("out")}).exitCode, 0);
    EXPECT_EQ(read("out"), randomBytes(1 << 20, 7));

    // A repository written to the store restores from a directory synced down, and continues there.
    ASSERT_EQ(initStore(url("down")).exitCode, 0);
    ASSERT_EQ(runZrv({"backup", "-q", image(2), url("down")}).exitCode, 0);
    QDir().mkpath(path("copy"));
    ASSERT_EQ(s3cmd({"sync", url("down/"), path("copy") + "/"}), 0);
    ASSERT_EQ(runZrv({"restore", "-q", path("copy"), path("out")}).exitCode, 0);
    EXPECT_EQ(read("out"), read("image"));
    ASSERT_EQ(runZrv({"backup", "-q", image(3), path("copy")}).exitCode, 0);
    EXPECT_EQ(runZrv({"check", "-q", path("copy")}).exitCode, 0);
}

TEST_F(S3Commands, containersGoToAndComeFromObjects)
{
    const QByteArray data = randomBytes(300000, 3);
    write("data", data);
    // Written by zrv, read back by s3cmd and by zrv.
    ASSERT_EQ(runZrv({"pack", "-q", path("data"), url("c/ours.zrv")}).exitCode, 0);
    write("ours.zrv", get("c/ours.zrv"));
    ASSERT_EQ(runZrv({"unpack", "-q", path("ours.zrv"), path("out")}).exitCode, 0);
    EXPECT_EQ(read("out"), data);
    const Run verify = runZrv({"verify", url("c/ours.zrv")});
    EXPECT_EQ(verify.exitCode, 0);
    EXPECT_TRUE(verify.out.contains("integrity tag verified")) << verify.out.toStdString();
    const Run info = runZrv({"info", "--json", url("c/ours.zrv")});
    EXPECT_EQ(QJsonDocument::fromJson(info.out).object()["dataSize"].toInt(), data.size());
    // Written by s3cmd, read by zrv.
    ASSERT_EQ(runZrv({"pack", "-q", path("data"), path("theirs.zrv")}).exitCode, 0);
    put("c/theirs.zrv", read("theirs.zrv"));
    ASSERT_EQ(runZrv({"unpack", "-q", url("c/theirs.zrv"), url("c/unpacked")}).exitCode, 0);
    EXPECT_EQ(get("c/unpacked"), data);
    ASSERT_EQ(runZrv({"fetch", "-q", url("c/theirs.zrv"), path("fetched")}).exitCode, 0);
    EXPECT_EQ(read("fetched"), read("theirs.zrv"));
    ASSERT_EQ(runZrv({"fetch", "-q", "--parts", "2", url("c/theirs.zrv"), url("c/copy.zrv")}).exitCode, 0);
    EXPECT_EQ(get("c/copy.zrv"), read("theirs.zrv"));
}

TEST_F(S3Commands, failuresNameTheObjectAndTheStoresReason)
{
    ASSERT_EQ(initStore(url("repo")).exitCode, 0);
    const QByteArray secret = qgetenv("AWS_SECRET_ACCESS_KEY");
    struct Case
    {
        const char* name;
        QStringList arguments;
        QByteArray wrongSecret;
        QByteArray expected;
    };
    const QString missingBucket = QStringLiteral("s3://%1-gone/repo").arg(bucket_);
    const Case cases[] = {
        {"wrong secret", {"revisions", url("repo")}, "not-the-secret", "SignatureDoesNotMatch"},
        {"wrong secret on a container", {"info", url("repo/settings")}, "not-the-secret", "SignatureDoesNotMatch"},
        {"missing bucket", {"restore", missingBucket, path("out")}, {}, "NoSuchBucket"},
        {"missing object", {"unpack", url("nothing.zrv"), path("out")}, {}, "NoSuchKey"},
        {"no repository", {"backup", image(0), url("elsewhere")}, {}, "is not a repository"},
        {"no revision", {"restore", url("repo"), path("out")}, {}, "holds no revision"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        if (!test.wrongSecret.isEmpty())
            qputenv("AWS_SECRET_ACCESS_KEY", test.wrongSecret);
        const Run run = runZrv(test.arguments);
        qputenv("AWS_SECRET_ACCESS_KEY", secret);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(test.expected)) << run.err.toStdString();
        EXPECT_TRUE(
            run.err.contains(test.arguments.contains(missingBucket) ? bucket_.toUtf8() + "-gone" : bucket_.toUtf8()))
            << run.err.toStdString();
        EXPECT_FALSE(run.err.contains(secret)
                     || run.err.contains(test.wrongSecret.isEmpty() ? secret : test.wrongSecret))
            << "no secret in messages";
        EXPECT_FALSE(QFile::exists(path("out")));
    }
}

TEST_F(S3Commands, aHeldLockStopsASecondWriterAndAStaleOneIsTakenOver)
{
    ASSERT_EQ(initStore(url("repo")).exitCode, 0);
    image(0);
    struct Case
    {
        const char* name;
        QByteArray lock;
        int exitCode;
    };
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const Case cases[] = {
        {"held by a live writer elsewhere", lockObject(4242, "elsewhere", now), 1},
        {"not refreshed for an hour", lockObject(4242, "elsewhere", now.addSecs(-3600)), 0},
        {"of a process of this host that is gone", lockObject(0x7ffffff0, QSysInfo::machineHostName(), now), 0},
        {"unreadable", "garbage", 0},
        {"empty", "", 0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        put("repo/lock", test.lock);
        const Run run = runZrv({"backup", "-q", "--lock-wait", test.exitCode ? "1" : "0", path("image"), url("repo")});
        EXPECT_EQ(run.exitCode, test.exitCode) << run.err.toStdString();
        if (test.exitCode)
            EXPECT_TRUE(run.err.contains("in use by another backup: process 4242 on elsewhere"))
                << run.err.toStdString();
        else
            EXPECT_TRUE(get("repo/lock").isEmpty());
    }
    // A writer told to wait gets the lock once its holder lets go.
    put("repo/lock", lockObject(4242, "elsewhere", QDateTime::currentDateTimeUtc()));
    const auto waiting = startZrv({"backup", "-q", "--lock-wait", "60", path("image"), url("repo")});
    EXPECT_FALSE(waiting->waitForFinished(1500)) << "it waits for the holder";
    ASSERT_EQ(s3cmd({"del", url("repo/lock")}), 0);
    ASSERT_TRUE(waiting->waitForFinished(60'000));
    EXPECT_EQ(waiting->exitCode(), 0) << waiting->readAllStandardError().toStdString();

    const Run revisions = runZrv({"revisions", "--json", url("repo")});
    EXPECT_EQ(QJsonDocument::fromJson(revisions.out).array().size(), 5);
}

TEST_F(S3Commands, aBackupRemovesTheDataObjectOfAKilledRunAndNeverWritesOverARevision)
{
    ASSERT_EQ(initStore(url("repo")).exitCode, 0);
    ASSERT_EQ(runZrv({"backup", "-q", image(0), url("repo")}).exitCode, 0);
    put("repo/00000002.data", "left by a killed run");
    const Run backup = runZrv({"backup", image(1), url("repo")});
    ASSERT_EQ(backup.exitCode, 0) << backup.err.toStdString();
    EXPECT_TRUE(backup.err.contains("removed " + url("repo/00000002.data").toUtf8())) << backup.err.toStdString();
    ASSERT_EQ(runZrv({"restore", "-q", url("repo"), path("out")}).exitCode, 0);
    EXPECT_EQ(read("out"), read("image"));

    // A map put in place behind the tool's back is not written over.
    put("repo/00000003.map", "not ours");
    const Run third = runZrv({"backup", "-q", image(2), url("repo")});
    EXPECT_EQ(third.exitCode, 1);
    EXPECT_EQ(get("repo/00000003.map"), "not ours");
}

TEST_F(S3Commands, transientStoreFailuresDuringABackupEndWell)
{
    FaultProxy proxy;
    QString error;
    ASSERT_TRUE(proxy.start(settings_["ZRV_S3_ENDPOINT"], &error)) << error.toStdString();
    ASSERT_EQ(initStore(url("repo")).exitCode, 0);
    qputenv("AWS_ENDPOINT_URL", proxy.url().toUtf8());
    ASSERT_TRUE(proxy.add("status PUT 3 503"));
    ASSERT_TRUE(proxy.add("reset GET 2 100000"));
    const Run backup = runZrv({"backup", "-q", image(0), url("repo")});
    ASSERT_EQ(backup.exitCode, 0) << backup.err.toStdString();
    const Run restore = runZrv({"restore", "-q", url("repo"), path("out")});
    ASSERT_EQ(restore.exitCode, 0) << restore.err.toStdString();
    EXPECT_EQ(read("out"), read("image"));
    EXPECT_GE(proxy.requests().filter(" -> 503").size(), 3);
}
