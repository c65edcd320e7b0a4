#include "support/externaltool.h"
#include "support/logcapture.h"
#include "support/streamtesting.h"
#include "support/trickledevice.h"

#include "core/encryption/key.h"
#include "core/exception/invaliddata.h"
#include "encryption/decryptionstream.h"
#include "encryption/encryptionstream.h"
#include "stream/exception/erroroperation.h"

#include <stdexcept>

using namespace ZRV::Core::Encryption;
using ZRV::Stream::DecryptionStream;
using ZRV::Stream::EncryptionStream;
using ZRV::Stream::Exception::ErrorOperation;

namespace {

const QByteArray Aes256Key = randomBytes(32);
const QByteArray Aes256Iv = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");

QByteArray encrypt(const QByteArray& plain)
{
    EncryptionStream stream(openBuffer(plain), Aes256, Aes256Key, Aes256Iv, AllData, nullptr);
    stream.open(QIODevice::ReadOnly);
    return stream.readAll();
}

// A source whose reads throw what it is given.
struct ThrowingDevice : QIODevice
{
    std::function<void()> thrower;
    qint64 readData(char*, qint64) override
    {
        thrower();
        return 0;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
};

template <class Stream>
QString failureOf(std::function<void()> thrower)
{
    auto source = QSharedPointer<ThrowingDevice>::create();
    source->thrower = std::move(thrower);
    Stream stream(source, Aes256, Aes256Key, Aes256Iv, AllData, nullptr);
    EXPECT_TRUE(stream.open(QIODevice::ReadOnly));
    try {
        stream.readAll();
    } catch (const ErrorOperation& e) {
        EXPECT_EQ(e.message(), stream.errorString());
        EXPECT_TRUE(stream.isOpen());
        return e.message();
    }
    return "nothing thrown";
}

QSharedPointer<TrickleDevice> trickle(const QByteArray& data, qint64 step, bool stalling)
{
    auto source = QSharedPointer<TrickleDevice>::create(data, step);
    source->setStalling(stalling);
    return source;
}

} // namespace

// Small and odd reads on both sides, and sources that trickle or stall, give the bytes of one
// large pass, and those decrypt back.
TEST(CipherStreams, roundTripEveryCipherAndTypeInAnyReadPattern)
{
    struct Reads
    {
        qint64 sourceStep;
        bool stalling;
        qint64 readSize;
    };
    for (int algorithm = Des; algorithm <= Aes256; ++algorithm) {
        for (Type type : {AllData, KeyWrap}) {
            const Algorithm a = Algorithm(algorithm);
            const QByteArray key = Key::randomKey(a);
            const QByteArray iv = type == AllData ? Key::randomKey(Aes256).left(Key::ivLength(a)) : QByteArray();
            const QByteArray plain = randomBytes(type == AllData ? 2003 : 48);
            QByteArray firstCipher;
            for (const Reads& r : {Reads{1 << 20, false, 1 << 16}, Reads{4096, false, 1}, Reads{1, false, 4096},
                                   Reads{7, true, 33}, Reads{5, false, 15}, Reads{3, true, 32}}) {
                SCOPED_TRACE(testing::Message() << "algorithm " << algorithm << " type " << type << " source step "
                                                << r.sourceStep << " reads " << r.readSize);
                EncryptionStream encryption(trickle(plain, r.sourceStep, r.stalling), a, key, iv, type, nullptr);
                ASSERT_TRUE(encryption.open(QIODevice::ReadOnly));
                const QByteArray cipher = readInSteps(encryption, r.readSize);
                if (firstCipher.isEmpty())
                    firstCipher = cipher;
                EXPECT_EQ(cipher, firstCipher);
                DecryptionStream decryption(trickle(cipher, r.sourceStep, r.stalling), a, key, iv, type, nullptr);
                ASSERT_TRUE(decryption.open(QIODevice::ReadOnly));
                EXPECT_EQ(readInSteps(decryption, r.readSize), plain);
            }
        }
    }
}

TEST(CipherStreams, atEndWaitsForTheSourceThenTheEngine)
{
    EncryptionStream stream(trickle(randomBytes(10), 10, true), Aes256, Aes256Key, Aes256Iv, AllData, nullptr);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    EXPECT_EQ(stream.read(64), QByteArray());
    EXPECT_FALSE(stream.atEnd());
    EXPECT_EQ(stream.read(64), encrypt(randomBytes(10)));
    EXPECT_TRUE(stream.atEnd());
}

TEST(CipherStreams, engineFailuresBecomeErrorOperation)
{
    QByteArray otherKey = Aes256Key;
    otherKey[0] = 'x';
    DecryptionStream wrongKey(openBuffer(encrypt("secret data")), Aes256, otherKey, Aes256Iv, AllData, nullptr);
    wrongKey.open(QIODevice::ReadOnly);
    LogCapture log;
    EXPECT_THROW(wrongKey.readAll(), ErrorOperation);
    EXPECT_EQ(wrongKey.errorString(), "Incorrect decryption password");
    EXPECT_EQ(log.texts(), QStringList{"CBC decryption: invalid PKCS #7 padding"});

    auto standard = [] { throw std::runtime_error("source broke"); };
    auto unknown = [] { throw 42; };
    EXPECT_EQ(failureOf<EncryptionStream>(standard), "source broke");
    EXPECT_EQ(failureOf<DecryptionStream>(standard), "source broke");
    EXPECT_EQ(failureOf<EncryptionStream>(unknown), "Unknown exception in encryption stream");
    EXPECT_EQ(failureOf<DecryptionStream>(unknown), "Unknown exception in decryption stream");
    EXPECT_TRUE(log.contains(QtCriticalMsg, "source broke"));

    EXPECT_THROW(EncryptionStream(openBuffer(""), NoEncryption, "", "", AllData, nullptr), ZRV::Exception::InvalidData);
    EXPECT_THROW(DecryptionStream(openBuffer(""), Algorithm(9), "", "", AllData, nullptr), ZRV::Exception::InvalidData);
}

// Ties the format to a tool nobody here wrote; an odd length exercises a partial padding block.
TEST(CipherStreams, aes256MatchesOpensslEnc)
{
    if (!installed("openssl"))
        GTEST_SKIP() << "openssl is not installed";
    const QByteArray plain = randomBytes(100003);
    const QByteArray expected =
        runTool("openssl", {"enc", "-aes-256-cbc", "-K", Aes256Key.toHex(), "-iv", Aes256Iv.toHex()}, plain);

    EXPECT_EQ(encrypt(plain), expected);
    DecryptionStream decryption(openBuffer(expected), Aes256, Aes256Key, Aes256Iv, AllData, nullptr);
    decryption.open(QIODevice::ReadOnly);
    EXPECT_EQ(decryption.readAll(), plain);
}
