#include "encryption/cipherstream.h"

#include "core/encryption/encryptorbase.h"
#include "core/zrvdebug.h"
#include "stream/exception/erroroperation.h"

namespace ZRV::Stream {

namespace {

std::unique_ptr<Core::Encryption::EncryptorBase> makeEngine(QSharedPointer<QIODevice> source,
                                                            Core::Encryption::Algorithm algorithm, bool encrypt,
                                                            const QByteArray& key, const QByteArray& iv,
                                                            Core::Encryption::Type type)
{
    std::unique_ptr<Core::Encryption::EncryptorBase> engine(
        Core::Encryption::EncryptorBase::create(algorithm, encrypt, type));
    engine->setSource(std::move(source));
    engine->setIv(iv);
    engine->setKey(key);
    engine->init();
    return engine;
}

} // namespace

CipherStream::CipherStream(QSharedPointer<QIODevice> source, Core::Encryption::Algorithm algorithm, bool encrypt,
                           const QByteArray& key, const QByteArray& iv, Core::Encryption::Type type, QObject* parent)
    : IStreamRead(source, parent)
    , engine_(makeEngine(source_, algorithm, encrypt, key, iv, type))
{
}

CipherStream::~CipherStream() = default;

bool CipherStream::isSequential() const
{
    return true;
}

qint64 CipherStream::size() const
{
    return -1;
}

bool CipherStream::atEnd() const
{
    return QIODevice::bytesAvailable() == 0 && source_ && source_->atEnd() && engine_->atEnd();
}

QByteArray CipherStream::iv() const
{
    return engine_->iv();
}

void CipherStream::fail(const QString& message, const char* logText)
{
    if (logText)
        ZrvDebug("TXK").error() << logText;
    setErrorString(message);
    throw Exception::ErrorOperation(message);
}

} // namespace ZRV::Stream
