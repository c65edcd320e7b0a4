#pragma once

#include "core/encryption/algorithm.h"
#include "filecontainer/base.h"
#include "zrvstreams_export.h"

class QDataStream;

namespace ZRV::Stream {
class DecompressionStream;
class DecryptionStream;
} // namespace ZRV::Stream

namespace ZRV::Stream::FileContainer {

// Common ground of the unpackages: open() reads the header and (encrypted) what the version puts
// between header and payload, makes sure the source stands at the payload, and puts the
// decryption and then the gzip decompression over it as the header says. For a container it
// cannot read, open() logs an error line and returns false with the reason in errorString().
class ZRVSTREAMS_EXPORT UnpackageBase : public Base
{
    Q_OBJECT

public:
    bool atEnd() const override;
    QByteArray iv() const override;
    // The size of the packed data as the package recorded it; 0 before a header was read.
    unsigned long long realSize() const;

protected:
    UnpackageBase(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent);

    qint64 readData(char* data, qint64 maxSize) override;
    bool init() override;
    // Makes header_ a new header of the version and reads it from the stream.
    virtual void readHeader(QDataStream& stream) = 0;
    // For an encrypted container: reads what stands between header and payload, adds its size to
    // payloadStart and puts decryption_ over the source. False (error string set) when a stage
    // does not open.
    virtual bool initDecryption(QDataStream& stream, quint32& payloadStart) = 0;

    // Throws InvalidData when the container ends inside the IV.
    QByteArray readIv(QDataStream& stream, ZRV::Core::Encryption::Algorithm algorithm);

    QSharedPointer<DecryptionStream> decryption_;

private:
    QSharedPointer<DecompressionStream> decompression_;
};

} // namespace ZRV::Stream::FileContainer
