#pragma once

#include "filecontainer/unpackagebase.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream::Hmacing {
class OutStream;
}

namespace ZRV::Stream::FileContainer::V2 {

// Reads a version 2 container and yields the packed data. The container must fill the source
// from its current position to its end; the source may be sequential (a pipe). open() reads and
// checks the header (a wrong password fails here, through the header tag), unwraps the payload
// keys and reads the IV. The payload's integrity is known only after reading to the end: validate().
class ZRVSTREAMS_EXPORT Unpackage : public UnpackageBase
{
    Q_OBJECT

public:
    Unpackage(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent);

    // True when the trailer matched the payload (always true without encryption) and the bytes
    // read add up to realSize() (not checked when the package recorded no size, 0). The size
    // catches what no trailer covers, such as a damaged flags word that makes an encrypted
    // container read as a plain one.
    bool validate() const;

protected:
    // Counts the bytes delivered for validate().
    qint64 readData(char* data, qint64 maxSize) override;
    bool init() override;
    void readHeader(QDataStream& stream) override;
    // Checks the header tag, unwraps the payload keys, and reads the IV; the HMAC check sits
    // between the source and the decryption.
    bool initDecryption(QDataStream& stream, quint32& payloadStart) override;

private:
    QSharedPointer<Hmacing::OutStream> hmac_;
    unsigned long long delivered_ = 0;
};

} // namespace ZRV::Stream::FileContainer::V2
