// fetch through the local cloud provider, driven through the built binary.
#include "support/testbytes.h"
#include "tooltest.h"

#include <QDir>
#include <QFile>

using FetchCommand = ToolTest;

TEST_F(FetchCommand, downloadsWholeOrInParts)
{
    QDir(dir_.path()).mkpath("bucket/objects");
    const QByteArray object = randomBytes(25 << 20);
    write("bucket/objects/blob", object);

    for (const char* parts : {"1", "3"}) {
        const QString out = QStringLiteral("fetched-%1").arg(parts);
        const Run fetch = runZrv({"fetch", "-q", "--local", path("bucket"), "--parts", parts, "--part-size",
                                  QString::number(10 << 20), "objects/blob", path(out)});
        ASSERT_EQ(fetch.exitCode, 0) << fetch.err.constData();
        EXPECT_EQ(read(out), object) << parts << " parts";
    }

    const Run missing = runZrv({"fetch", "--local", path("bucket"), "objects/none", path("x")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.startsWith("zrv: ")) << missing.err.constData();
    EXPECT_EQ(runZrv({"fetch", "objects/blob", path("x")}).exitCode, 2);
    EXPECT_EQ(runZrv({"fetch", "--local", "a", "--url", "http://b", "p", path("x")}).exitCode, 2);
    EXPECT_FALSE(QFile::exists(path("x")));
    // No temporary download file is left behind.
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}
