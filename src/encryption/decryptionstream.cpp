#include "encryption/decryptionstream.h"

#include "core/encryption/encryptorbase.h"

#include <cryptopp/cryptlib.h>

namespace ZRV::Stream {

DecryptionStream::DecryptionStream(QSharedPointer<QIODevice> source, Core::Encryption::Algorithm algorithm,
                                   const QByteArray& key, const QByteArray& iv, Core::Encryption::Type type,
                                   QObject* parent)
    : CipherStream(std::move(source), algorithm, false, key, iv, type, parent)
{
}

qint64 DecryptionStream::readData(char* data, qint64 maxSize)
{
    try {
        return engine_->readData(data, maxSize);
    } catch (const CryptoPP::InvalidCiphertext& e) {
        fail(tr("Incorrect decryption password"), e.what());
    } catch (const std::exception& e) {
        fail(QString::fromUtf8(e.what()), e.what());
    } catch (...) {
        fail(tr("Unknown exception in decryption stream"), nullptr);
    }
}

} // namespace ZRV::Stream
