#pragma once

#include "filecontainer/base.h"

namespace ZRV::Stream {
class DecompressionStream;
class DecryptionStream;
namespace Hmacing {
class OutStream;
}
} // namespace ZRV::Stream

namespace ZRV::Stream::FileContainer::V2 {

class Header;

// Reads a version 2 container and yields the packed data. The container must fill the source
// from its current position to its end; the source may be sequential (a pipe). open() reads and
// checks the header (a wrong password fails here, through the header tag), unwraps the payload
// keys and reads the IV; it returns false with the reason in errorString() for any container it
// cannot read. The payload's integrity is known only after reading to the end: validate().
class Unpackage : public Base
{
    Q_OBJECT

public:
    Unpackage(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent);
    ~Unpackage() override;

    bool atEnd() const override;
    QByteArray iv() const override;
    bool useCompression() const override;
    bool useEncryption() const override;
    // The size of the packed data as the package recorded it; 0 before a header was read.
    unsigned long long realSize() const;
    // True when the trailer matched the payload (always true without encryption) and the bytes
    // read add up to realSize() (not checked when the package recorded no size, 0). The size
    // catches what no trailer covers, such as a damaged flags word that makes an encrypted
    // container read as a plain one.
    bool validate() const;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    bool init() override;

private:
    // Builds the HMAC check and decryption over the source; false with the error string set.
    bool initDecryption(QDataStream& stream);

    Header* header_;
    QSharedPointer<Hmacing::OutStream> hmac_;
    QSharedPointer<DecryptionStream> decryption_;
    QSharedPointer<DecompressionStream> decompression_;
    unsigned long long delivered_ = 0;
};

} // namespace ZRV::Stream::FileContainer::V2
