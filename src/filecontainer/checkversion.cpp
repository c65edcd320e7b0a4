#include "filecontainer/checkversion.h"

#include "core/exception/invaliddata.h"
#include "core/zrvdebug.h"
#include "filecontainer/version2/header.h"

namespace ZRV::Stream::FileContainer {

namespace {

template <typename Header>
bool readsHeader(QDataStream& stream)
{
    try {
        Header header{QByteArray()};
        stream >> header;
        return stream.status() == QDataStream::Ok;
    } catch (const ZRV::Exception::InvalidData&) {
        return false;
    }
}

} // namespace

int CheckVersion::check(QSharedPointer<QIODevice> device)
{
    QDataStream stream(device.data());
    if (readsHeader<V2::Header>(stream)) {
        device->seek(0);
        return 2;
    }
    ZrvDebug("TXK").debug() << "Check FileContainer version, it's not V2";
    device->seek(0);
    stream.resetStatus();

    const int version = readsHeader<V1::Header>(stream) ? 1 : 0;
    if (version == 0)
        ZrvDebug("TXK").debug() << "Check FileContainer version, it's not V1";
    device->seek(0);
    return version;
}

} // namespace ZRV::Stream::FileContainer
