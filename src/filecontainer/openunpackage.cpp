#include "filecontainer/openunpackage.h"

#include "filecontainer/version1/header.h"
#include "filecontainer/version1/unpackage.h"
#include "filecontainer/version2/unpackage.h"
#include "stream/joinstream.h"
#include "stream/readfully.h"

#include <QBuffer>
#include <QtEndian>

namespace ZRV::Stream::FileContainer {

namespace {

// Signature, version and flags: the fields that tell which unpackage reads the container and
// whether it needs a password.
const int VersionOffset = V1::Header::SignatureSize;
const int FlagsOffset = VersionOffset + 4;
const int LeadSize = FlagsOffset + 4;

} // namespace

QSharedPointer<UnpackageBase> openUnpackage(QSharedPointer<QIODevice> device,
                                            const std::function<QByteArray()>& password, int workers)
{
    if (!device->isOpen() && !device->open(QIODevice::ReadOnly)) {
        // Its own open fails the same way, and takes over the device's error text.
        auto unpackage = QSharedPointer<V2::Unpackage>::create(device, QByteArray());
        unpackage->open(QIODevice::ReadOnly);
        return unpackage;
    }
    QByteArray lead(LeadSize, '\0');
    lead.resize(int(qMax<qint64>(readFully(*device, lead.data(), LeadSize), 0)));
    const bool whole = lead.size() == LeadSize;
    const bool version1 = whole && lead.startsWith(QByteArray(V1::Header::Signature, V1::Header::SignatureSize))
        && qFromLittleEndian<qint32>(lead.constData() + VersionOffset) == 1;
    const bool encrypted =
        whole && (qFromLittleEndian<qint32>(lead.constData() + FlagsOffset) & V1::Header::DataEncrypted);

    // The bytes looked at go back in front of the rest; whatever is no version 1 container is
    // left to the version 2 reader, whose error names what is wrong.
    auto leadBuffer = QSharedPointer<QBuffer>::create();
    leadBuffer->setData(lead);
    const auto source = QSharedPointer<JoinStream>::create(QList<QSharedPointer<QIODevice>>{leadBuffer, device});
    const QByteArray key = encrypted ? password() : QByteArray();
    QSharedPointer<UnpackageBase> unpackage;
    if (version1)
        unpackage = QSharedPointer<V1::Unpackage>::create(source, key);
    else
        unpackage = QSharedPointer<V2::Unpackage>::create(source, key);
    unpackage->setWorkerCount(workers);
    unpackage->open(QIODevice::ReadOnly);
    return unpackage;
}

QSharedPointer<UnpackageBase> openUnpackage(QSharedPointer<QIODevice> device, const QByteArray& password,
                                            int workers)
{
    return openUnpackage(std::move(device), [&password] { return password; }, workers);
}

} // namespace ZRV::Stream::FileContainer
