#include "chainregistry.h"

#include "encryption/decryptionstream.h"
#include "encryption/encryptionstream.h"
#include "encryption/hmacing/instream.h"
#include "encryption/hmacing/outstream.h"

using namespace ZRV::Stream;
using namespace ZRV::Core::Encryption;

namespace {

// bench/run.sh gives openssl the same key, IV and HMAC key, so both sides produce the same bytes
// and the run can compare them.
const QByteArray aesKey = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
const QByteArray aesIv = QByteArray::fromHex("a0a1a2a3a4a5a6a7a8a9aaabacadaeaf");
const QByteArray macKey = "zrvbench hmac key";

template <class Stream>
QSharedPointer<QIODevice> cipher(const ChainRegistry::Context& run)
{
    return QSharedPointer<Stream>::create(run.input, Aes256, aesKey, aesIv, AllData, nullptr);
}

template <class Stream>
QSharedPointer<QIODevice> hmac(const ChainRegistry::Context& run)
{
    auto stream = QSharedPointer<Stream>::create(run.input, macKey, nullptr);
    stream->setWorkerCount(run.workers);
    return stream;
}

QString validated(QIODevice& top)
{
    return static_cast<Hmacing::OutStream&>(top).validate() ? QString() : "the HMAC trailer does not match";
}

const ChainRegistry::Registration chains[] = {
    {"aes256-encrypt", "file -> EncryptionStream(AES-256-CBC)", cipher<EncryptionStream>},
    {"aes256-decrypt", "AES-256-CBC file -> DecryptionStream(AES-256-CBC)", cipher<DecryptionStream>},
    {"hmac-seal", "file -> Hmacing::InStream (data, then HMAC-SHA-256 trailer)", hmac<Hmacing::InStream>},
    {"hmac-check", "sealed file -> Hmacing::OutStream, then validate()", hmac<Hmacing::OutStream>, validated},
};

} // namespace
