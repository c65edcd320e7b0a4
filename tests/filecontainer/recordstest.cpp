#include "core/encryption/key.h"
#include "core/exception/invaliddata.h"
#include "filecontainer/version1/compressioninfo.h"
#include "filecontainer/version2/header.h"
#include "filecontainer/version2/headervalidate.h"
#include "support/logcapture.h"
#include "support/testbytes.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <gtest/gtest.h>

using namespace ZRV::Stream::FileContainer;
using namespace ZRV::Core::Encryption;

namespace {

const QByteArray Salt = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");

// The message of the InvalidData that reading the bytes into the header throws, or "" if none.
template <typename Header>
QString readError(const QByteArray& bytes, Header& header)
{
    QDataStream stream(bytes);
    try {
        stream >> header;
    } catch (const ZRV::Exception::InvalidData& e) {
        return e.message();
    }
    return QString();
}

template <typename Header>
QString readError(const QByteArray& bytes)
{
    Header header{QByteArray("pw")};
    return readError(bytes, header);
}

template <typename T>
QByteArray le(T value)
{
    value = qToLittleEndian(value);
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

} // namespace

TEST(ContainerHeader, layoutsOfBothVersions)
{
    struct Case
    {
        const char* name;
        int version;
        Algorithm algorithm;
        bool compressed;
        int size;
        qint32 flags;
    };
    const Case cases[] = {
        {"v1Plain", 1, NoEncryption, false, 36, 0},     {"v1Compressed", 1, NoEncryption, true, 37, 2},
        {"v1CompressedAes", 1, Aes256, true, 64, 6},    {"v1Des", 1, Des, false, 63, 4},
        {"v2Compressed", 2, NoEncryption, true, 45, 2}, {"v2Aes128", 2, Aes128, false, 119, 4},
        {"v2CompressedDes3", 2, Des3, true, 144, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QScopedPointer<V1::Header> header(c.version == 1
                                              ? new V1::Header(c.algorithm, Salt, c.compressed, 0x0102030405, "pw")
                                              : new V2::Header(c.algorithm, Salt, c.compressed, 0x0102030405, "pw"));
        if (auto* info = dynamic_cast<V2::EncryptionInfo*>(header->encryptionInfo()))
            info->setCryptedKey(QByteArray(V1::EncryptionInfo::getKeyLength(*info), 'k'));
        const QByteArray bytes = header->byteArray();
        EXPECT_EQ(bytes.size(), c.size);
        EXPECT_EQ(header->getSize(), c.size);
        EXPECT_EQ(bytes.left(16), "VarnolitexData  ");
        EXPECT_EQ(bytes.mid(16, 20),
                  le<qint32>(c.version) + le<qint32>(c.flags) + le<qint32>(0) + le<qint64>(0x0102030405));
        if (c.version == 2) {
            EXPECT_EQ(bytes.right(8), QByteArray(8, '\0'));
        }

        QScopedPointer<V1::Header> read(c.version == 1 ? new V1::Header("pw") : new V2::Header("pw"));
        QDataStream stream(bytes);
        c.version == 1 ? stream >> *read : stream >> static_cast<V2::Header&>(*read);
        EXPECT_EQ(stream.status(), QDataStream::Ok);
        EXPECT_TRUE(stream.atEnd());
        EXPECT_EQ(read->byteArray(), bytes);
        EXPECT_EQ(read->encryptionInfo() ? read->encryptionInfo()->algorythm() : NoEncryption, c.algorithm);
    }
}

TEST(ContainerHeader, encryptionRecordBytes)
{
    V1::Header header(Aes256, Salt, false, 0, "pw");
    EXPECT_EQ(header.byteArray().mid(36),
              QByteArray::fromHex("0301020001 01") + le<quint32>(Key::ITERATION_SIMPLE) + QByteArray::fromHex("10")
                  + Salt);
    V2::Header v2(Aes256, Salt, false, 0, "pw");
    EXPECT_EQ(v2.encryptionInfo()->kdfIteration(), Key::ITERATION_ADVANCED);
}

TEST(ContainerHeader, readerMessages)
{
    const QByteArray v1 = V1::Header(Aes128, Salt, true, 7, "pw").byteArray();
    const QByteArray v2 = V2::Header(NoEncryption, Salt, false, 7, "pw").byteArray();
    const QString version = "Unknown header version %1. Last known version is a %2";
    EXPECT_EQ(readError<V1::Header>(patched<quint8>(v1, 3, 'x')), "CryptoContainerV1Header Signatures not equal");
    EXPECT_EQ(readError<V2::Header>(v1), version.arg(1).arg(2));
    EXPECT_EQ(readError<V1::Header>(v2), version.arg(2).arg(1));
    EXPECT_EQ(readError<V1::Header>(patched<quint32>(v1, 16, 0xFFFFFFFF)), version.arg("4294967295").arg(1));
    EXPECT_EQ(readError<V1::Header>(patched<quint8>(v1, 36, 0)),
              "Unsupported compression type 0. Supported version is a 1");
    EXPECT_EQ(readError<V1::Header>(patched<quint8>(v1, 37, 0xFF)), "Unsupported encryption type 255");
    EXPECT_EQ(readError<V1::Header>(patched<quint8>(v1, 38, 2)), "Unsupported encryption mode type 2");
    EXPECT_EQ(readError<V1::Header>(patched<quint32>(v1, 43, 10000001)),
              "Unsupported key derivation iteration count 10000001");
    // Version 2 never writes a record without cipher: refused rather than miscounted.
    EXPECT_EQ(readError<V2::Header>(V2::Header("pw").byteArray()), "Unsupported encryption type 0");
}

// The key bits of a version 1 record pick the cipher and say where the wrapped keys end.
TEST(ContainerHeader, keyBitsPickTheCipherAndWrappedKeyLength)
{
    struct Case
    {
        quint8 type;
        quint16 keyBits;
        Algorithm algorithm;
        int wrappedLength;
    };
    const Case cases[] = {{1, 64, Des, 24},     {2, 112, Des112, 32}, {2, 128, Des112, 48}, {2, 168, Des3, 48},
                          {2, 192, Des3, 72},   {2, 64, Des3, 24},    {3, 128, Aes128, 48}, {3, 192, Aes192, 72},
                          {3, 256, Aes256, 96}, {3, 100, Aes128, 32}};
    const QByteArray v1 = V1::Header(Aes128, Salt, false, 0, "pw").byteArray();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.type) << " " << c.keyBits);
        V1::Header header("pw");
        EXPECT_EQ(readError(patched<quint16>(patched<quint8>(v1, 36, c.type), 39, c.keyBits), header), "");
        EXPECT_EQ(header.encryptionInfo()->algorythm(), c.algorithm);
        EXPECT_EQ(V1::EncryptionInfo::getKeyLength(*header.encryptionInfo()), c.wrappedLength);
    }
    try {
        V1::EncryptionInfo::getKeyLength(V1::EncryptionInfo("pw"));
        FAIL();
    } catch (const ZRV::Exception::InvalidData& e) {
        EXPECT_EQ(e.message(), "Invalid encryption type");
    }
}

TEST(ContainerHeader, equalityIgnoresPasswordAndWrappedKeys)
{
    V2::Header a(Aes256, Salt, true, 9, "one"), b(Aes256, Salt, true, 9, "two");
    a.encryptionInfo()->setCryptedKey("x");
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(*a.encryptionInfo() == *b.encryptionInfo());
    EXPECT_TRUE(a != V2::Header(Aes256, Salt, false, 9, "one"));
    EXPECT_TRUE(a != V2::Header(Aes256, Salt.left(15), true, 9, "one"));
    EXPECT_TRUE(V1::Header(Des, Salt, true, 1, "x") != V1::Header(Des, Salt, true, 2, "x"));
}

TEST(HeaderValidate, tagIsHmacOfHeaderUnderHashedMasterKey)
{
    V2::Header header(Aes128, Salt, false, 5, "pw");
    const QByteArray key = QCryptographicHash::hash(Key::generateAdvanced(Aes128, "pw", Salt, Key::ITERATION_ADVANCED),
                                                    QCryptographicHash::Sha256);
    EXPECT_EQ(V2::HeaderValidate(&header).byteArray(),
              QMessageAuthenticationCode::hash(header.byteArray(), key, QCryptographicHash::Sha256));
    V2::Header plain(NoEncryption, Salt, false, 5, "pw");
    EXPECT_EQ(V2::HeaderValidate(&plain).byteArray(), QByteArray());
}

TEST(HeaderValidate, refusesWrongPasswordAndAlteredFields)
{
    V2::Header written(Aes128, Salt, false, 5, "pw");
    written.encryptionInfo()->setCryptedKey(QByteArray(48, 'k'));
    const QByteArray bytes = written.byteArray() + V2::HeaderValidate(&written).byteArray();
    struct Case
    {
        const char* name;
        QByteArray bytes;
        QByteArray password;
        bool accepted;
    };
    const Case cases[] = {
        {"intact", bytes, "pw", true},
        {"wrongPassword", bytes, "pW", false},
        {"reservedWord", patched<quint8>(bytes, 24, 0x01), "pw", false},
        {"paddingByte", patched<quint8>(bytes, 38, 0x03), "pw", false},
        {"iterationCount", patched<quint8>(bytes, 42, 0x01), "pw", false},
        {"saltByte", patched<quint8>(bytes, 47, 0x01), "pw", false},
        {"wrappedKeyByte", patched<quint8>(bytes, 100, 0x01), "pw", false},
        {"reserved64", patched<quint8>(bytes, 111, 0x01), "pw", false},
        {"tagByte", patched<quint8>(bytes, 140, 0x01), "pw", false},
        {"unknownFlagBit", patched<quint8>(bytes, 20, 0x14), "pw", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        V2::Header header(c.password);
        V2::HeaderValidate validate(&header);
        QDataStream stream(c.bytes);
        stream >> header;
        QString error;
        try {
            stream >> validate;
        } catch (const ZRV::Exception::InvalidData& e) {
            error = e.message();
        }
        EXPECT_EQ(error, c.accepted ? "" : "Incorrect decryption password (Container header is corrupted)");
        EXPECT_EQ(log.contains(QtCriticalMsg, "Container header is corrupted"), !c.accepted);
    }
}
