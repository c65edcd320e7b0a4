#pragma once

#include "encryption/cipherstream.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {

// Presents its source's bytes encrypted by the core engine for the algorithm and type (type 0:
// CBC with PKCS#7 padding; an empty IV lets the engine draw one, reported by iv()). An engine
// failure makes read() throw ErrorOperation with the exception's text, also set as the error
// string and logged; a non-standard exception gives "Unknown exception in encryption stream".
// The stream stays open after a failure.
class ZRVSTREAMS_EXPORT EncryptionStream : public CipherStream
{
    Q_OBJECT

public:
    // Throws as CipherStream's constructor.
    EncryptionStream(QSharedPointer<QIODevice> source, Core::Encryption::Algorithm algorithm, const QByteArray& key,
                     const QByteArray& iv, Core::Encryption::Type type, QObject* parent = nullptr);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
};

} // namespace ZRV::Stream
