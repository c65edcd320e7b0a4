#include "support/fastcontainer.h"
#include "support/testbytes.h"

#include "compression/compressionstream.h"
#include "core/encryption/key.h"
#include "encryption/encryptionstream.h"
#include "filecontainer/version1/encryptioninfo.h"
#include "filecontainer/version1/header.h"
#include "filecontainer/version2/header.h"
#include "filecontainer/version2/headervalidate.h"
#include "filecontainer/version2/package.h"

#include <QDataStream>
#include <QtEndian>

using namespace ZRV::Stream::FileContainer;
using ZRV::Core::Encryption::Key;

namespace {

// The iteration count's place: the fixed part (36 bytes), the compression record, then six bytes
// into the encryption record.
QByteArray withOneRound(QByteArray container, bool useCompression)
{
    qToLittleEndian<qint32>(1, container.data() + 36 + (useCompression ? 1 : 0) + 6);
    return container;
}

} // namespace

QByteArray fastV2Container(const QByteArray& data, ZRV::Core::Encryption::Algorithm algorithm,
                           const QByteArray& password, bool useCompression)
{
    const QByteArray payloadKeys = Key::randomKey(algorithm) + Key::randomKey(algorithm);
    V2::Package package(openBuffer(data), data.size(), algorithm, password, useCompression, QByteArray(),
                        Key::randomSalt(), payloadKeys, nullptr);
    package.open(QIODevice::ReadOnly);
    const QByteArray container = withOneRound(package.readAll(), useCompression);

    V2::Header header(password);
    QDataStream headerStream(container);
    headerStream >> header;
    ZRV::Stream::EncryptionStream wrapping(openBuffer(payloadKeys), algorithm, header.encryptionInfo()->masterKey(),
                                           QByteArray(), ZRV::Core::Encryption::KeyWrap, nullptr);
    wrapping.open(QIODevice::ReadOnly);
    header.encryptionInfo()->setCryptedKey(wrapping.readAll());
    const int payloadStart = header.getSize() + V2::HeaderValidate(&header).getSize();
    return header.byteArray() + V2::HeaderValidate(&header).byteArray() + container.mid(payloadStart);
}

QByteArray fastV1Container(const QByteArray& data, ZRV::Core::Encryption::Algorithm algorithm,
                           const QByteArray& password, bool useCompression)
{
    const V1::Header written(algorithm, Key::randomSalt(), useCompression, data.size(), password);
    const QByteArray headerBytes = withOneRound(written.byteArray(), useCompression);
    V1::Header header(password);
    QDataStream headerStream(headerBytes);
    headerStream >> header;

    QSharedPointer<QIODevice> payload = openBuffer(data);
    if (useCompression) {
        payload =
            QSharedPointer<ZRV::Stream::CompressionStream>::create(payload, ZRV::Core::Compression::Gzip, nullptr);
        payload->open(QIODevice::ReadOnly);
    }
    ZRV::Stream::EncryptionStream encryption(payload, algorithm, header.encryptionInfo()->masterKey(), QByteArray(),
                                             ZRV::Core::Encryption::AllData, nullptr);
    encryption.open(QIODevice::ReadOnly);
    return headerBytes + encryption.iv() + encryption.readAll();
}
