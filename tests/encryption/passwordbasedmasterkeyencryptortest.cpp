#include "support/logcapture.h"
#include "support/streamtesting.h"

#include "core/encryption/key.h"
#include "encryption/decryptionstream.h"
#include "encryption/passwordbasedmasterkeyencryptor.h"

#include <QMessageAuthenticationCode>

using namespace ZRV::Core::Encryption;
using ZRV::Encryption::PasswordBasedMasterKeyEncryptor;

namespace {

const QByteArray MasterKey = QByteArray::fromHex("00112233445566778899aabbccddeeff0123456789abcdeffedcba9876543210");

} // namespace

// IV | ciphertext | tag, each part recomputed independently of the encryptor.
TEST(PasswordBasedMasterKeyEncryptor, writesTheDocumentedBlobForEveryCipher)
{
    for (int algorithm = Des; algorithm <= Aes256; ++algorithm) {
        SCOPED_TRACE(algorithm);
        const Algorithm a = Algorithm(algorithm);
        const PasswordBasedMasterKeyEncryptor writer(a, "secret");
        const PasswordBasedMasterKeyEncryptor reader(a, "secret");
        EXPECT_EQ(writer.key(),
                  Key::generateAdvanced(a, "secret", QByteArray::fromHex("bf4eeec2ab4bb7f48f73b976989069c4"), 50000));

        const QByteArray blob = writer.toStream(MasterKey);
        const int ivLength = Key::ivLength(a);
        ASSERT_EQ(blob.size(), ivLength + (MasterKey.size() / ivLength + 1) * ivLength + 32);
        const QByteArray integrityKey = QCryptographicHash::hash(writer.key(), QCryptographicHash::Sha256);
        EXPECT_EQ(blob.right(32),
                  QMessageAuthenticationCode::hash(blob.chopped(32), integrityKey, QCryptographicHash::Sha256));
        ZRV::Stream::DecryptionStream decryption(openBuffer(blob.mid(ivLength).chopped(32)), a, writer.key(),
                                                 blob.left(ivLength), AllData, nullptr);
        decryption.open(QIODevice::ReadOnly);
        EXPECT_EQ(decryption.readAll(), MasterKey);

        EXPECT_EQ(reader.fromStream(blob), MasterKey);
        EXPECT_TRUE(reader.errorString().isEmpty());
        EXPECT_NE(writer.toStream(MasterKey).left(ivLength), blob.left(ivLength)); // a fresh IV each time
    }
}

TEST(PasswordBasedMasterKeyEncryptor, refusesEveryChangedByteAndEveryTruncation)
{
    for (Algorithm a : {Aes256, Des}) {
        const PasswordBasedMasterKeyEncryptor encryptor(a, "secret");
        const QByteArray blob = encryptor.toStream(MasterKey);
        for (int i = 0; i < blob.size(); ++i) {
            EXPECT_TRUE(encryptor.fromStream(flipped(blob, i, 0x20)).isEmpty()) << a << " byte " << i;
            EXPECT_FALSE(encryptor.errorString().isEmpty());
            EXPECT_TRUE(encryptor.fromStream(blob.left(i)).isEmpty()) << a << " length " << i;
        }
        EXPECT_EQ(encryptor.fromStream(blob), MasterKey);
        EXPECT_TRUE(encryptor.errorString().isEmpty());
    }
}

TEST(PasswordBasedMasterKeyEncryptor, reportsWhyABlobIsRefused)
{
    const PasswordBasedMasterKeyEncryptor encryptor(Aes256, "secret");
    const QByteArray blob = encryptor.toStream(MasterKey);

    // The tag is checked before anything is decrypted: a wrong password and a changed ciphertext
    // byte are both refused by it.
    LogCapture log;
    const PasswordBasedMasterKeyEncryptor other(Aes256, "Secret");
    for (const QByteArray& refused : {other.fromStream(blob), encryptor.fromStream(flipped(blob, 16 + 31)),
                                      encryptor.fromStream(flipped(blob, blob.size() - 1))})
        EXPECT_TRUE(refused.isEmpty());
    EXPECT_EQ(encryptor.errorString(), "Error on check hmac");
    EXPECT_EQ(other.errorString(), "Error on check hmac");
    EXPECT_TRUE(log.contains(QtCriticalMsg, "Error on check hmac in master password"));
    EXPECT_FALSE(log.contains(QtCriticalMsg,
                              "Exception on decrypt master password, message: \"Incorrect decryption password\""));

    // A ciphertext with a matching tag that does not decrypt (its padding is wrong).
    const QByteArray integrityKey = QCryptographicHash::hash(encryptor.key(), QCryptographicHash::Sha256);
    const QByteArray badPadding = blob.left(16) + QByteArray(32, '\x5a');
    EXPECT_TRUE(
        encryptor
            .fromStream(badPadding
                        + QMessageAuthenticationCode::hash(badPadding, integrityKey, QCryptographicHash::Sha256))
            .isEmpty());
    EXPECT_EQ(encryptor.errorString(), "Incorrect decryption password");
    EXPECT_TRUE(log.contains(QtCriticalMsg,
                             "Exception on decrypt master password, message: \"Incorrect decryption password\""));

    EXPECT_TRUE(PasswordBasedMasterKeyEncryptor(NoEncryption, "secret").toStream(MasterKey).isEmpty());
    EXPECT_TRUE(
        log.contains(QtCriticalMsg, "Error on create master key encryptor: \"Unsupported encryption algorithm 6\""));
}
