#include "hardening/tampermatrix.h"
#include "support/fastcontainer.h"
#include "support/testbytes.h"

#include "filecontainer/version1/package.h"
#include "filecontainer/version1/unpackage.h"
#include "filecontainer/version2/package.h"
#include "filecontainer/version2/unpackage.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Password = "tamper password";

template <class Unpackage>
TamperMatrix::Outcome unpack(const QList<QByteArray>& files)
{
    Unpackage unpackage(bufferWith(files[0]), Password);
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
    TamperMatrix matrix("V2 container, gzip + AES-256", unpack<ZRV::Stream::FileContainer::V2::Unpackage>);
    matrix.addFile("container", container);
    matrix.run({0x01, 0x80, 0xFF});
    matrix.expectNothingAccepted();
}

} // namespace

// Without encryption only the gzip checks and the recorded size guard the data, in both versions.
TEST(ContainerTamperTest, unencryptedCompressedContainers)
{
    using namespace ZRV::Stream::FileContainer;
    const QByteArray data = compressibleBytes(200);
    const auto noEncryption = ZRV::Core::Encryption::NoEncryption;
    V1::Package v1(bufferWith(data), data.size(), noEncryption, QByteArray(), true);
    V2::Package v2(bufferWith(data), data.size(), noEncryption, QByteArray(), true);
    const std::pair<Base*, TamperMatrix::Reader> rows[] = {{&v1, unpack<V1::Unpackage>}, {&v2, unpack<V2::Unpackage>}};
    for (const auto& [package, reader] : rows) {
        ASSERT_TRUE(package->open(QIODevice::ReadOnly));
        TamperMatrix matrix(QString("V%1 container, gzip").arg(package == &v1 ? 1 : 2), reader);
        matrix.addFile("container", package->readAll());
        matrix.run({0x01, 0x80, 0xFF});
        matrix.expectNothingAccepted();
    }
}
