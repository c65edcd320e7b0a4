#pragma once

#include "filecontainer/base.h"
#include "zrvstreams_export.h"

namespace ZRV::Stream {
class JoinStream;
}

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
    PackageBase(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent = nullptr);

    // What a version's encryption makes of the payload.
    struct Encryption
    {
        QSharedPointer<QIODevice> stage; // yields the encrypted payload; null when a stage failed
        QByteArray prefix; // the bytes between header and payload
        QByteArray iv; // the payload IV
    };

    qint64 readData(char* data, qint64 maxSize) override;
    bool init() override;
    // Opens the version's encryption stages over the payload. A null stage means failure, with
    // the error string set.
    virtual Encryption encrypt(QSharedPointer<QIODevice> payload) = 0;

private:
    QByteArray headerBytes_;
    QByteArray iv_;
    QSharedPointer<QIODevice> headerBuffer_;
    QSharedPointer<JoinStream> join_;
};

} // namespace ZRV::Stream::FileContainer
