#pragma once

#include "core/encryption/algorithm.h"
#include "stream/istreamread.h"
#include "zrvstreams_export.h"

#include <memory>

namespace ZRV::Core::Encryption {
class EncryptorBase;
}

namespace ZRV::Stream {

// What the encryption and decryption streams share: a core cipher engine, made and set up by the
// constructor over the stream's own source. Sequential, size() -1; atEnd() once the source and
// then the engine are at their end. A source that has nothing yet makes a read return 0 without
// the stream being at its end, so callers read until atEnd().
class ZRVSTREAMS_EXPORT CipherStream : public IStreamRead
{
    Q_OBJECT

public:
    ~CipherStream() override;

    bool isSequential() const override;
    qint64 size() const override;
    bool atEnd() const override;

    // The IV the engine works with: the one given, or the one an encrypting engine drew.
    QByteArray iv() const;

protected:
    // Throws ZRV::Exception::InvalidData for an algorithm or type without engine, and the
    // engine's CryptoPP::Exception for a key or IV it refuses.
    CipherStream(QSharedPointer<QIODevice> source, Core::Encryption::Algorithm algorithm, bool encrypt,
                 const QByteArray& key, const QByteArray& iv, Core::Encryption::Type type, QObject* parent = nullptr);

    // Sets the error string to message, logs logText (unless null) at error level, throws
    // ErrorOperation carrying message.
    [[noreturn]] void fail(const QString& message, const char* logText);

    const std::unique_ptr<Core::Encryption::EncryptorBase> engine_;
};

} // namespace ZRV::Stream
