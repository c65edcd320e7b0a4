#pragma once

#include "filecontainer/unpackagebase.h"
#include "zrvstreams_export.h"

#include <memory>

namespace ZRV::Stream::FileContainer::V1 {

class Header;

// Reads a version 1 container and yields the packed data. The container must fill the source
// from its current position to its end; the source may be sequential (a pipe). open() reads the
// header and the IV. Version 1 has no integrity tag: a wrong password shows only while reading,
// as an ErrorOperation from the decryption or as wrong data, and validate() checks only the size.
class ZRVSTREAMS_EXPORT Unpackage : public UnpackageBase
{
    Q_OBJECT

public:
    Unpackage(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent = nullptr);
    ~Unpackage() override;

protected:
    const V1::Header* header() const override;
    void readHeader(QDataStream& stream) override;
    Decryption decrypt(QDataStream& stream, const QSharedPointer<QIODevice>& input) override;

private:
    std::unique_ptr<Header> header_;
};

} // namespace ZRV::Stream::FileContainer::V1
