#pragma once

#include "filecontainer/base.h"

namespace ZRV::Stream {
class DecompressionStream;
class DecryptionStream;
} // namespace ZRV::Stream

namespace ZRV::Stream::FileContainer::V1 {

class Header;

// Reads a version 1 container and yields the packed data. The container must fill the source
// from its current position to its end; the source may be sequential (a pipe). open() reads the
// header and the IV and returns false, with the reason in errorString(), for a container it
// cannot read. Version 1 has no integrity tag: a wrong password shows only while reading, as an
// ErrorOperation from the decryption or as wrong data.
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

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    bool init() override;

private:
    Header* header_;
    QSharedPointer<DecryptionStream> decryption_;
    QSharedPointer<DecompressionStream> decompression_;
};

} // namespace ZRV::Stream::FileContainer::V1
