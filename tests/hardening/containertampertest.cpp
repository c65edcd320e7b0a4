#include "hardening/tampermatrix.h"
#include "support/fastcontainer.h"
#include "support/testbytes.h"

#include "filecontainer/version2/package.h"
#include "filecontainer/version2/unpackage.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Password = "tamper password";

TamperMatrix::Outcome unpackV2(const QList<QByteArray>& files)
{
    ZRV::Stream::FileContainer::V2::Unpackage unpackage(bufferWith(files[0]), Password, nullptr);
    if (!unpackage.open(QIODevice::ReadOnly))
        return {TamperMatrix::RefusedAtOpen, {}};
    TamperMatrix::Outcome outcome = TamperMatrix::readToEnd(unpackage);
    if (outcome.verdict == TamperMatrix::ReadBack && !unpackage.validate())
        return {TamperMatrix::FailedValidation, {}};
    return outcome;
}

TEST(ContainerTamperTest, encryptedCompressedV2Container)
{
    const QByteArray container = fastV2Container(compressibleBytes(200), ZRV::Core::Encryption::Aes256, Password, true);
    TamperMatrix matrix("V2 container, gzip + AES-256", unpackV2);
    matrix.addFile("container", container);
    matrix.run({0x01, 0x80, 0xFF});
    matrix.expectNothingAccepted();
}

} // namespace

// Without encryption only the gzip checks and the recorded size guard the data.
TEST(ContainerTamperTest, unencryptedCompressedV2Container)
{
    const QByteArray data = compressibleBytes(200);
    ZRV::Stream::FileContainer::V2::Package package(bufferWith(data), data.size(), ZRV::Core::Encryption::NoEncryption,
                                                    QByteArray(), true, nullptr);
    ASSERT_TRUE(package.open(QIODevice::ReadOnly));
    TamperMatrix matrix("V2 container, gzip", unpackV2);
    matrix.addFile("container", package.readAll());
    matrix.run({0x01, 0x80, 0xFF});
    matrix.expectNothingAccepted();
}
