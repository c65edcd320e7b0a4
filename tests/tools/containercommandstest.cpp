// pack, unpack, info and verify, driven through the built binary.
#include "support/testbytes.h"
#include "tooltest.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class ContainerCommands : public ToolTest
{
protected:
    // Only the given files, nothing half written under a temporary name.
    QStringList files() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
};

} // namespace

TEST_F(ContainerCommands, roundTripsBothFormatsAndEveryCipher)
{
    const QByteArray data = compressibleBytes(300'000);
    const QString in = write("in", data);
    struct Case
    {
        QString format;
        QString cipher;
        bool compress;
    };
    const Case cases[] = {{"2", "aes256", true}, {"2", "aes192", true}, {"2", "aes128", false}, {"2", "3des", true},
                          {"2", "3des2", true},  {"2", "des", true},    {"2", "none", true},    {"2", "none", false},
                          {"1", "aes256", true}, {"1", "3des", false},  {"1", "none", true}};
    int caseIndex = 0;
    for (const Case& c : cases) {
        // Packing and unpacking with different worker counts: one worker keeps the serial path.
        const QString packJobs = QString::number(caseIndex % 3 + 1);
        const QString unpackJobs = QString::number(++caseIndex % 3 + 1);
        SCOPED_TRACE(qPrintable(c.format + " " + c.cipher + (c.compress ? " gzip" : "") + " jobs " + packJobs));
        QStringList packArguments{"pack",   "-q",       "--jobs", packJobs, "--format",
                                  c.format, "--cipher", c.cipher, in,       path("box")};
        if (!c.compress)
            packArguments.insert(1, "--no-compress");
        const Run pack = runZrv(packArguments);
        ASSERT_EQ(pack.exitCode, 0) << pack.err.constData();
        const Run unpack = runZrv({"unpack", "-q", "--jobs", unpackJobs, path("box"), path("out")},
                                  c.cipher == "none" ? "" : "secret");
        ASSERT_EQ(unpack.exitCode, 0) << unpack.err.constData();
        EXPECT_EQ(read("out"), data);
    }
}

TEST_F(ContainerCommands, streamsThroughPipes)
{
    const QByteArray data = compressibleBytes(200'000);
    const Run pack = runZrv({"pack", "-", "-"}, "secret", data);
    ASSERT_EQ(pack.exitCode, 0) << pack.err.constData();
    const Run unpack = runZrv({"unpack", "-", "-"}, "secret", pack.out);
    ASSERT_EQ(unpack.exitCode, 0) << unpack.err.constData();
    EXPECT_EQ(unpack.out, data);

    const Run info = runZrv({"info", "--json", "-"}, "", pack.out);
    ASSERT_EQ(info.exitCode, 0) << info.err.constData();
    const QJsonObject fields = QJsonDocument::fromJson(info.out).object();
    EXPECT_EQ(fields["version"].toInt(), 2);
    EXPECT_EQ(fields["cipher"].toString(), "aes256");
    EXPECT_EQ(fields["keyBits"].toInt(), 256);
    EXPECT_EQ(fields["compression"].toString(), "gzip");
    EXPECT_EQ(fields["kdfIterations"].toInt(), 600000);

    // Data already written to standard output cannot be taken back: the exit code says it was bad.
    EXPECT_EQ(runZrv({"unpack", "-", "-"}, "secret", flipped(pack.out, pack.out.size() - 1)).exitCode, 1);
}

TEST_F(ContainerCommands, refusesDamageAndLeavesNoOutput)
{
    const QString in = write("in", compressibleBytes(100'000));
    for (const char* format : {"1", "2"}) {
        ASSERT_EQ(runZrv({"pack", "--format", format, in, path("box")}).exitCode, 0);
        const QByteArray box = read("box");

        const Run wrongPassword = runZrv({"unpack", path("box"), path("out")}, "wrong");
        EXPECT_EQ(wrongPassword.exitCode, 1);
        EXPECT_TRUE(wrongPassword.err.startsWith("zrv: ")) << wrongPassword.err.constData();

        write("cut", box.left(box.size() - 40));
        EXPECT_EQ(runZrv({"unpack", path("cut"), path("out")}).exitCode, 1) << "format " << format;

        write("flipped", flipped(box, box.size() / 2, 0x20));
        EXPECT_EQ(runZrv({"unpack", path("flipped"), path("out")}).exitCode, 1) << "format " << format;
        EXPECT_EQ(runZrv({"verify", path("flipped")}).exitCode, 1);
        EXPECT_EQ(runZrv({"verify", "-q", path("box")}).exitCode, 0);

        EXPECT_EQ(files(), (QStringList{"box", "cut", "flipped", "in"}));
    }
    write("foreign", "just some text, not a container");
    const Run foreign = runZrv({"unpack", path("foreign"), path("out")});
    EXPECT_EQ(foreign.exitCode, 1);
    EXPECT_TRUE(foreign.err.contains("not a container")) << foreign.err.constData();
}

TEST_F(ContainerCommands, usageErrorsAndMissingPassword)
{
    const QString in = write("in", "abc");
    EXPECT_EQ(runZrv({}).exitCode, 2);
    EXPECT_EQ(runZrv({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(runZrv({"pack", in}).exitCode, 2);
    EXPECT_EQ(runZrv({"pack", "--cipher", "rot13", in, path("box")}).exitCode, 2);
    EXPECT_EQ(runZrv({"pack", "--format", "3", in, path("box")}).exitCode, 2);
    EXPECT_EQ(runZrv({"pack", "--bogus", in, path("box")}).exitCode, 2);

    const Run noPassword = runZrv({"pack", in, path("box")}, "");
    EXPECT_EQ(noPassword.exitCode, 1);
    EXPECT_TRUE(noPassword.err.contains("password")) << noPassword.err.constData();

    write("password", "from-a-file\n");
    EXPECT_EQ(runZrv({"pack", "--password-file", path("password"), in, path("box")}, "").exitCode, 0);
    EXPECT_EQ(runZrv({"unpack", path("box"), path("out")}, "from-a-file").exitCode, 0);
    EXPECT_EQ(read("out"), "abc");

    EXPECT_EQ(runZrv({"--version"}).exitCode, 0);
    const Run help = runZrv({"pack", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--cipher"));
}

TEST_F(ContainerCommands, unencryptedContainersAreNotTakenOnTrust)
{
    const QByteArray data = compressibleBytes(200'000);
    write("in", data);
    // Packed from a pipe, so the header records no size that could catch a cut.
    const Run pack = runZrv({"pack", "-q", "--cipher", "none", "-", "-"}, "", data);
    ASSERT_EQ(pack.exitCode, 0) << pack.err.constData();
    write("plain", pack.out);

    const Run info = runZrv({"info", "--json", path("plain")}, "");
    EXPECT_EQ(QJsonDocument::fromJson(info.out).object()["integrity"].toString(), "none");
    ASSERT_EQ(runZrv({"pack", "-q", path("in"), path("sealed")}).exitCode, 0);
    const Run sealedInfo = runZrv({"info", "--json", path("sealed")}, "");
    EXPECT_EQ(QJsonDocument::fromJson(sealedInfo.out).object()["integrity"].toString(), "HMAC-SHA-256");

    const Run verify = runZrv({"verify", path("plain")}, "");
    EXPECT_EQ(verify.exitCode, 0);
    EXPECT_TRUE(verify.out.contains("no integrity tag")) << verify.out.constData();
    EXPECT_TRUE(runZrv({"verify", path("sealed")}).out.contains("integrity tag verified"));

    // Whoever gave a password expects a sealed container; a plain one may be a swapped one.
    for (const char* command : {"unpack", "verify"}) {
        SCOPED_TRACE(command);
        QStringList arguments{command, path("plain")};
        if (QString(command) == "unpack")
            arguments << path("out");
        const Run refused = runZrv(arguments, "secret");
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(refused.err.contains("not encrypted")) << refused.err.constData();
        EXPECT_EQ(runZrv(QStringList{"--allow-unencrypted"} + arguments, "secret").exitCode, 2);
        EXPECT_EQ(runZrv(QStringList{command, "--allow-unencrypted"} + arguments.mid(1), "secret").exitCode, 0);
    }
    EXPECT_EQ(read("out"), data);
}

// The gzip stream's own checks are all an unencrypted container has: damage must not pass.
TEST_F(ContainerCommands, damagedGzipStreamsFail)
{
    const Run pack = runZrv({"pack", "-q", "--cipher", "none", "-", "-"}, "", compressibleBytes(200'000));
    ASSERT_EQ(pack.exitCode, 0) << pack.err.constData();
    struct Case
    {
        const char* name;
        QByteArray bytes;
    };
    const Case damaged[] = {
        {"bitFlippedInTheMiddle", flipped(pack.out, pack.out.size() / 2, 0x01)},
        {"crcFlipped", flipped(pack.out, pack.out.size() - 6, 0x01)},
        {"tailCut", pack.out.left(pack.out.size() - 20)},
        {"halfCut", pack.out.left(pack.out.size() / 2)},
    };
    for (const Case& c : damaged) {
        SCOPED_TRACE(c.name);
        write("damaged", c.bytes);
        const Run unpack = runZrv({"unpack", path("damaged"), path("damaged-out")}, "");
        EXPECT_EQ(unpack.exitCode, 1);
        // Every failure names the container.
        EXPECT_TRUE(unpack.err.startsWith("zrv: " + path("damaged").toUtf8())) << unpack.err.constData();
        EXPECT_FALSE(QFile::exists(path("damaged-out")));
        EXPECT_EQ(runZrv({"verify", path("damaged")}, "").exitCode, 1);
    }
}
