#pragma once

#include "zrvstreams_export.h"

#include <QIODevice>
#include <QSharedPointer>

namespace ZRV::Stream::FileContainer {

// Tells which unpackage a container needs. Both versions share the signature, so the header
// readers are tried in turn: version 2, then version 1.
class ZRVSTREAMS_EXPORT CheckVersion
{
public:
    CheckVersion() = delete;

    // 2 or 1 when the open device begins with a whole, readable header of that version, 0
    // otherwise (damaged records and headers cut short included). The device is moved back to
    // position 0, which a sequential device cannot do: its caller must reopen or buffer it.
    static int check(QSharedPointer<QIODevice> device);
};

} // namespace ZRV::Stream::FileContainer
