// The container's payload and trailer checked by tools nobody here wrote: gzip and openssl.
#include "containertesting.h"

#include "core/encryption/key.h"
#include "filecontainer/version2/header.h"
#include "filecontainer/version2/package.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace ZRV::Stream::FileContainer;
using namespace ZRV::Core::Encryption;
using namespace ContainerTesting;

namespace {

// The tool's standard output for the input; the test fails if it does not succeed in time.
QByteArray runTool(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForStarted(10000)) << program.toStdString();
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

int headerSize(const QByteArray& container)
{
    V2::Header header("");
    QDataStream stream(container);
    stream >> header;
    return header.getSize();
}

class Interop : public testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* tool : {"gzip", "openssl"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " is not installed";
    }
};

} // namespace

TEST_F(Interop, gzipReadsCompressedPayload)
{
    const QByteArray data = sampleData(100000);
    for (int version : {1, 2}) {
        const QByteArray container = pack(version, NoEncryption, true, data);
        const int header = version == 1 ? 37 : 45;
        EXPECT_EQ(runTool("gzip", {"-dc"}, container.mid(header)), data) << version;
    }
}

TEST_F(Interop, opensslDecryptsPayloadAndComputesTrailer)
{
    const QByteArray data = sampleData(100000), iv = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
    const QByteArray payloadKey = QByteArray(32, '\x11'), hmacKey = QByteArray(32, '\x22');
    for (bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "uncompressed");
        auto source = QSharedPointer<QBuffer>::create();
        source->setData(data);
        V2::Package package(source, data.size(), Aes256, "pw", compressed, iv, Key::randomSalt(), payloadKey + hmacKey,
                            nullptr);
        ASSERT_TRUE(package.open(QIODevice::ReadOnly));
        const QByteArray container = readToEnd(package);
        const int ivAt = headerSize(container) + 32;
        ASSERT_EQ(container.mid(ivAt, 16), iv);
        const QByteArray sealed = container.mid(ivAt, container.size() - ivAt - 32);

        QByteArray plain = runTool("openssl", {"enc", "-d", "-aes-256-cbc", "-K", payloadKey.toHex(), "-iv", iv.toHex()},
                                   sealed.mid(16));
        if (compressed)
            plain = runTool("gzip", {"-dc"}, plain);
        EXPECT_EQ(plain, data);

        const QByteArray macKey = QCryptographicHash::hash(hmacKey, QCryptographicHash::Sha256).toHex();
        const QByteArray digest =
            runTool("openssl", {"dgst", "-sha256", "-mac", "HMAC", "-macopt", "hexkey:" + macKey}, sealed);
        EXPECT_EQ(digest.trimmed().split(' ').last(), container.right(32).toHex());
    }
}
