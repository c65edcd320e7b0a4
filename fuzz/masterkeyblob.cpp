// Reads arbitrary bytes as a master-key blob with PasswordBasedMasterKeyEncryptor::fromStream.
// Input: one byte whose value modulo 6 picks the cipher, then the blob.
// Checks: a key comes out only of a blob whose tag is the MAC of its IV and ciphertext under the
// password's integrity key, and then with an empty error string.
#include "fuzzinput.h"

#include "core/encryption/key.h"
#include "core/exception/base.h"
#include "encryption/passwordbasedmasterkeyencryptor.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <memory>

using namespace ZRV::Fuzz;
using ZRV::Encryption::PasswordBasedMasterKeyEncryptor;
namespace Encryption = ZRV::Core::Encryption;

namespace {

const QByteArray Password = "fuzz password";
const int CipherCount = 6;
const int TagLength = 32;

// Key derivation takes 50000 rounds, so each cipher's encryptor is made once per process.
const PasswordBasedMasterKeyEncryptor& encryptor(Encryption::Algorithm algorithm)
{
    static std::unique_ptr<PasswordBasedMasterKeyEncryptor> encryptors[CipherCount];
    auto& made = encryptors[algorithm];
    if (!made)
        made = std::make_unique<PasswordBasedMasterKeyEncryptor>(algorithm, Password);
    return *made;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    quietLogging();
    const auto algorithm = Encryption::Algorithm(data[0] % CipherCount);
    const QByteArray blob = inputBytes(data + 1, size - 1);
    const PasswordBasedMasterKeyEncryptor& reader = encryptor(algorithm);

    QByteArray masterKey;
    try {
        masterKey = reader.fromStream(blob);
    } catch (const ZRV::Exception::Base&) {
        return 0;
    }
    if (masterKey.isEmpty())
        return 0;
    const int ivLength = Encryption::Key::ivLength(algorithm);
    require(blob.size() >= ivLength + TagLength, "a key came out of a blob too short to hold one");
    const QByteArray integrityKey = QCryptographicHash::hash(reader.key(), QCryptographicHash::Sha256);
    require(blob.right(TagLength)
                == QMessageAuthenticationCode::hash(blob.left(blob.size() - TagLength), integrityKey,
                                                    QCryptographicHash::Sha256),
            "a key came out of a blob whose tag does not hold");
    require(reader.errorString().isEmpty(), "error string left over after success");
    return 0;
}
