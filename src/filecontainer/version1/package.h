#pragma once

#include "core/encryption/algorithm.h"
#include "filecontainer/base.h"

namespace ZRV::Stream {
class CompressionStream;
class EncryptionStream;
class JoinStream;
} // namespace ZRV::Stream

namespace ZRV::Stream::FileContainer::V1 {

class Header;

// Reads as a version 1 container of its source: the header, then (encrypted) the IV, then the
// payload: gzip-compressed and/or encrypted directly under the password's master key, or the
// source's bytes unchanged when neither. There is no integrity tag. Errors of inner streams while
// reading set the error string and are rethrown.
class Package : public Base
{
    Q_OBJECT

public:
    Package(QSharedPointer<QIODevice> source, unsigned long long fileSize, ZRV::Core::Encryption::Algorithm algorithm,
            const QByteArray& password, bool useCompression, QObject* parent);
    ~Package() override;

    qint64 size() const override;
    // True until opened, then once every byte of the container was handed out.
    bool atEnd() const override;
    QByteArray iv() const override;
    bool useCompression() const override;
    bool useEncryption() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    bool init() override;

private:
    Header* header_;
    QByteArray headerBytes_;
    QSharedPointer<JoinStream> join_;
    QSharedPointer<QIODevice> headerBuffer_;
    QSharedPointer<EncryptionStream> encryption_;
    QSharedPointer<CompressionStream> compression_;
};

} // namespace ZRV::Stream::FileContainer::V1
