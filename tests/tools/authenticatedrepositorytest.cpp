// An attacker who can write to an encrypted repository but does not know its password: every change
// to a map, and every map taken from elsewhere, makes restore and check fail without output.
#include "support/testbytes.h"
#include "tooltest.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QMap>
#include <functional>

namespace {

// Map layout (docs/formats.md, map file): a 542-byte header, then 33-byte records.
const int MapHeaderSize = 542;
const int RecordSize = 33;
const int HeaderLengthField = 18; // 8 bytes, little-endian
const int RecordHashField = 0; // 16 bytes
const int RecordUsedField = 20; // 1 byte
const int HashSize = 16;

int recordOffset(int block)
{
    return MapHeaderSize + block * RecordSize;
}

class AuthenticatedRepository : public ToolTest
{
protected:
    void SetUp() override
    {
        write("image", randomBytes(12 * 4096 + 100, 11));
        ASSERT_EQ(init("repo").exitCode, 0);
        for (int revision = 1; revision <= 3; ++revision) {
            if (revision > 1)
                rewriteBlock(revision);
            ASSERT_EQ(backup("repo").exitCode, 0);
        }
    }

    Run backup(const QString& repository) const { return runZrv({"backup", "-q", path("image"), path(repository)}); }
    void rewriteBlock(int seed) const
    {
        QFile image(path("image"));
        image.open(QIODevice::ReadWrite);
        image.seek(qint64(seed) * 4096);
        image.write(randomBytes(4096, quint32(seed)));
    }
    static QString map(int revision) { return QStringLiteral("%1.map").arg(revision, 8, 10, QLatin1Char('0')); }
    static QString data(int revision) { return QStringLiteral("%1.data").arg(revision, 8, 10, QLatin1Char('0')); }
    QString repo(const QString& name) const { return QStringLiteral("repo/") + name; }
};

struct Attack
{
    const char* name;
    int revision; // the revision restored afterwards
    std::function<void()> apply;
};

} // namespace

TEST_F(AuthenticatedRepository, everyAttackIsRefusedWithoutOutput)
{
    // Revisions of other repositories with the same password and image: one authenticated, one of
    // zrv 0.1.0's version 4 maps.
    ASSERT_EQ(init("other").exitCode, 0);
    ASSERT_EQ(backup("other").exitCode, 0);
    initVersion4("legacy");
    ASSERT_EQ(backup("legacy").exitCode, 0);
    ASSERT_EQ(read("legacy/" + map(1)).at(10), 4);

    const auto editMap = [this](int revision, const std::function<void(QByteArray&)>& edit) {
        return [=] {
            QByteArray bytes = read(repo(map(revision)));
            edit(bytes);
            write(repo(map(revision)), bytes);
        };
    };
    const auto plantRevision1 = [this](const char* from) {
        return [=] {
            const QString source = QString::fromLatin1(from) + QLatin1Char('/');
            write(repo(map(1)), read(source + map(1)));
            write(repo(data(1)), read(source + data(1)));
        };
    };
    const Attack attacks[] = {
        {"swapRecords", 1,
         editMap(1,
                 [](QByteArray& bytes) {
                     const QByteArray first = bytes.mid(recordOffset(0), RecordSize);
                     bytes.replace(recordOffset(0), RecordSize, bytes.mid(recordOffset(1), RecordSize));
                     bytes.replace(recordOffset(1), RecordSize, first);
                 })},
        {"copyRecord", 1,
         editMap(1,
                 [](QByteArray& bytes) {
                     bytes.replace(recordOffset(1), RecordSize, bytes.mid(recordOffset(0), RecordSize));
                 })},
        {"copyMap", 3, [this] { write(repo(map(3)), read(repo(map(2)))); }},
        {"lowerLength", 1,
         editMap(1,
                 [](QByteArray& bytes) {
                     QDataStream field(&bytes, QIODevice::ReadWrite);
                     field.setByteOrder(QDataStream::LittleEndian);
                     field.device()->seek(HeaderLengthField);
                     quint64 length = 0;
                     field >> length;
                     field.device()->seek(HeaderLengthField);
                     field << length - 5;
                 })},
        {"clearUsedFlag", 1,
         editMap(1,
                 [](QByteArray& bytes) {
                     bytes[recordOffset(0) + RecordUsedField] = 0;
                     bytes.replace(recordOffset(0) + RecordHashField, HashSize, QByteArray(HashSize, '\0'));
                 })},
        {"mapOfAnotherRepository", 1, plantRevision1("other")},
        {"version4MapPlanted", 1, plantRevision1("legacy")},
    };

    const QStringList files = QDir(path("repo")).entryList({"*.map", "*.data"}, QDir::Files);
    QMap<QString, QByteArray> original;
    for (const QString& file : files)
        original.insert(file, read(repo(file)));
    for (const Attack& attack : attacks) {
        SCOPED_TRACE(attack.name);
        attack.apply();
        const QString revision = QString::number(attack.revision);
        const Run restore = runZrv({"restore", "-q", "--revision", revision, path("repo"), path("out")});
        EXPECT_EQ(restore.exitCode, 1) << restore.err.constData();
        EXPECT_FALSE(QFile::exists(path("out")));
        EXPECT_TRUE(restore.err.contains(".map")) << restore.err.constData();
        const Run check = runZrv({"check", "-q", "--revision", revision, path("repo")});
        EXPECT_EQ(check.exitCode, 1) << check.out.constData() << check.err.constData();
        for (auto it = original.begin(); it != original.end(); ++it)
            write(repo(it.key()), it.value());
    }
    // Put back, every revision restores again.
    for (int revision = 1; revision <= 3; ++revision) {
        const Run restore =
            runZrv({"restore", "-q", "--revision", QString::number(revision), path("repo"), path("out")});
        EXPECT_EQ(restore.exitCode, 0) << restore.err.constData();
        QFile::remove(path("out"));
    }
    EXPECT_EQ(read(repo(map(1))).at(10), 5);
}

TEST_F(AuthenticatedRepository, onlyEncryptedRepositoriesAreAuthenticated)
{
    ASSERT_EQ(init("plain", {"--cipher", "none"}).exitCode, 0);
    ASSERT_EQ(backup("plain").exitCode, 0);
    EXPECT_EQ(read("plain/" + map(1)).at(10), 4);
    const Run restore = runZrv({"restore", "-q", path("plain"), path("out")});
    ASSERT_EQ(restore.exitCode, 0) << restore.err.constData();
    EXPECT_EQ(read("out"), read("image"));

    const struct
    {
        const char* repository;
        QStringList command;
        bool warns;
    } rows[] = {
        {"plain", {"check"}, true},
        {"plain", {"revisions"}, true},
        {"repo", {"check"}, false},
        {"repo", {"revisions"}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.repository + (" " + row.command.join(' ')).toStdString());
        const Run run = runZrv(row.command + QStringList{path(row.repository)});
        EXPECT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_EQ(run.err.contains("not authenticated"), row.warns) << run.err.constData();
    }
    // The password opens the repository's keys; a wrong one is refused before any map is read.
    const Run wrong = runZrv({"revisions", path("repo")}, "wrong");
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.err.contains("password")) << wrong.err.constData();
}
