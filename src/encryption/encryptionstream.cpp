#include "encryption/encryptionstream.h"

#include "core/encryption/encryptorbase.h"

namespace ZRV::Stream {

EncryptionStream::EncryptionStream(QSharedPointer<QIODevice> source, Core::Encryption::Algorithm algorithm,
                                   const QByteArray& key, const QByteArray& iv, Core::Encryption::Type type,
                                   QObject* parent)
    : CipherStream(std::move(source), algorithm, true, key, iv, type, parent)
{
}

qint64 EncryptionStream::readData(char* data, qint64 maxSize)
{
    try {
        return engine_->readData(data, maxSize);
    } catch (const std::exception& e) {
        fail(QString::fromUtf8(e.what()), e.what());
    } catch (...) {
        fail(tr("Unknown exception in encryption stream"), nullptr);
    }
}

} // namespace ZRV::Stream
