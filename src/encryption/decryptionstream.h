#pragma once

#include "encryption/cipherstream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {

// Presents its source's bytes decrypted by the core engine for the algorithm and type. A
// ciphertext the engine rejects (CryptoPP::InvalidCiphertext: a bad padding, a wrapped key that
// fails its check; in practice a wrong password) makes read() throw ErrorOperation with
// "Incorrect decryption password"; any other engine failure throws it with the exception's text,
// and a non-standard exception with "Unknown exception in decryption stream". The text is also
// the error string; the engine's own text is logged. The stream stays open after a failure.
// Everything before the last block is handed out before the padding is checked at the end.
class ZRVSTREAMS_EXPORT DecryptionStream : public CipherStream
{
    Q_OBJECT

public:
    // Throws as CipherStream's constructor.
    DecryptionStream(QSharedPointer<QIODevice> source, Core::Encryption::Algorithm algorithm, const QByteArray& key,
                     const QByteArray& iv, Core::Encryption::Type type, QObject* parent = nullptr);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
};

} // namespace ZRV::Stream
