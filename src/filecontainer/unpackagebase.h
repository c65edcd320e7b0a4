#pragma once

#include "core/encryption/algorithm.h"
#include "filecontainer/base.h"
#include "zrvstreams_export.h"

class QDataStream;

namespace ZRV::Stream {
class DecompressionStream;
class DecryptionStream;
} // namespace ZRV::Stream

namespace ZRV::Stream::Hmacing {
class OutStream;
}

namespace ZRV::Stream::FileContainer {

// Common ground of the unpackages: open() reads the header and (encrypted) what the version puts
// between header and payload, makes sure the source stands at the payload, and puts the
// decryption (over the HMAC check, where the version has one) and then the gzip decompression
// over it as the header says. For a container it cannot read, open() logs an error line and
// returns false with the reason in errorString(). openUnpackage() picks the version.
class ZRVSTREAMS_EXPORT UnpackageBase : public Base
{
    Q_OBJECT

public:
    ~UnpackageBase() override;

    bool atEnd() const override;
    QByteArray iv() const override;
    // The size of the packed data as the package recorded it; 0 before a header was read, or when
    // the package recorded none.
    unsigned long long realSize() const;
    // After reading to the end: true when everything the container's version can check held. The
    // HMAC trailer matched the payload (encrypted version 2 containers; version 1 has none), and
    // the bytes read add up to realSize() (unless 0). The size also catches what no trailer
    // covers, such as a damaged flags word that makes an encrypted container read as a plain one.
    bool validate() const;

protected:
    UnpackageBase(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent = nullptr);

    // What a version's decryption builds over the payload.
    struct Decryption
    {
        QSharedPointer<DecryptionStream> stage; // yields the decrypted payload; null when a stage failed
        QSharedPointer<Hmacing::OutStream> check; // the trailer check beneath it, where the version has one
        quint32 prefixSize = 0; // bytes read between header and payload
    };

    qint64 readData(char* data, qint64 maxSize) override;
    bool init() override;
    // Reads a header of the version from the stream into the version's own header object.
    // Throws InvalidData for a header it refuses.
    virtual void readHeader(QDataStream& stream) = 0;
    // For an encrypted container: reads what stands between header and payload from the stream
    // and builds the decryption over `input`, which then stands at the payload. A null stage means
    // failure, with the error string set.
    virtual Decryption decrypt(QDataStream& stream, const QSharedPointer<QIODevice>& input) = 0;

    // Throws InvalidData when the container ends inside the IV.
    static QByteArray readIv(QDataStream& stream, ZRV::Core::Encryption::Algorithm algorithm);

private:
    // The container source, read in whole requests: the head and the stages read from it.
    QSharedPointer<QIODevice> input_;
    QSharedPointer<Hmacing::OutStream> check_;
    QSharedPointer<DecryptionStream> decryption_;
    QSharedPointer<DecompressionStream> decompression_;
    unsigned long long delivered_ = 0;
};

} // namespace ZRV::Stream::FileContainer
