#pragma once

#include "filecontainer/base.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {
class CompressionStream;
class EncryptionStream;
class JoinStream;
} // namespace ZRV::Stream

namespace ZRV::Stream::FileContainer {

// Common ground of the packages: reads as the header's bytes, then what the version's encryption
// puts before the payload, then the payload: the source's bytes, gzip-compressed when the header
// says so, then encrypted by the version's stages. Everything but the header is produced as the
// caller reads. Errors of inner streams while reading set the error string and are rethrown.
class ZRVSTREAMS_EXPORT PackageBase : public Base
{
    Q_OBJECT

public:
    // True until opened, then once every byte of the container was handed out.
    bool atEnd() const override;
    QByteArray iv() const override;

protected:
    PackageBase(QSharedPointer<QIODevice> source, const QByteArray& password, std::unique_ptr<V1::Header> header,
                QObject* parent);

    qint64 readData(char* data, qint64 maxSize) override;
    bool init() override;
    // Opens the version's encryption stages over the payload and appends to headerBytes_ what
    // goes before the payload. Returns the stage to read, or null (error string set).
    virtual QSharedPointer<QIODevice> encrypt(QSharedPointer<QIODevice> payload) = 0;

    QByteArray headerBytes_;
    QSharedPointer<EncryptionStream> encryption_;

private:
    QSharedPointer<CompressionStream> compression_;
    QSharedPointer<QIODevice> headerBuffer_;
    QSharedPointer<JoinStream> join_;
};

} // namespace ZRV::Stream::FileContainer
