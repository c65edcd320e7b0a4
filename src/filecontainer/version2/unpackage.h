#pragma once

#include "filecontainer/unpackagebase.h"
#include "zrvstreams_export.h"

#include <memory>

namespace ZRV::Stream::FileContainer::V2 {

class Header;

// Reads a version 2 container and yields the packed data. The container must fill the source
// from its current position to its end; the source may be sequential (a pipe). open() reads and
// checks the header (a wrong password fails here, through the header tag), unwraps the payload
// keys and reads the IV. The payload's integrity is known only after reading to the end: validate().
class ZRVSTREAMS_EXPORT Unpackage : public UnpackageBase
{
    Q_OBJECT

public:
    Unpackage(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent = nullptr);
    ~Unpackage() override;

protected:
    const V1::Header* header() const override;
    void readHeader(QDataStream& stream) override;
    // Checks the header tag, unwraps the payload keys, and reads the IV; the HMAC check sits
    // between the source and the decryption.
    Decryption decrypt(QDataStream& stream, const QSharedPointer<QIODevice>& input) override;

private:
    std::unique_ptr<Header> header_;
};

} // namespace ZRV::Stream::FileContainer::V2
