// fetch through the local cloud provider, driven through the built binary.
#include "zrvrunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(FetchCommand, downloadsWholeOrInParts)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("bucket/objects");
    QByteArray object(25 << 20, Qt::Uninitialized);
    for (int i = 0; i < object.size(); ++i)
        object[i] = char(i ^ (i >> 11));
    QFile file(dir.filePath("bucket/objects/blob"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(object);
    file.close();

    for (const char* parts : {"1", "3"}) {
        const QString out = dir.filePath(QStringLiteral("fetched-%1").arg(parts));
        const ZrvRun fetch = runZrv({"fetch", "-q", "--local", dir.filePath("bucket"), "--parts", parts,
                                     "--part-size", QString::number(10 << 20), "objects/blob", out});
        ASSERT_EQ(fetch.exitCode, 0) << fetch.err.constData();
        QFile fetched(out);
        ASSERT_TRUE(fetched.open(QIODevice::ReadOnly));
        EXPECT_EQ(fetched.readAll(), object) << parts << " parts";
    }

    const ZrvRun missing = runZrv({"fetch", "--local", dir.filePath("bucket"), "objects/none", dir.filePath("x")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.startsWith("zrv: ")) << missing.err.constData();
    EXPECT_EQ(runZrv({"fetch", "objects/blob", dir.filePath("x")}).exitCode, 2);
    EXPECT_EQ(runZrv({"fetch", "--local", "a", "--url", "http://b", "p", dir.filePath("x")}).exitCode, 2);
    EXPECT_FALSE(QFile::exists(dir.filePath("x")));
    // No temporary download file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}
