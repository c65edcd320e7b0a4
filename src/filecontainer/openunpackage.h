#pragma once

#include "filecontainer/unpackagebase.h"
#include "zrvstreams_export.h"

#include <functional>

namespace ZRV::Stream::FileContainer {

// Opens the container that `device` holds from its current position to its end, whichever its
// version, and returns its unpackage: open, or not open with the reason in errorString() (the
// device cannot be opened, no container, a damaged header, a wrong password). Never null.
//
// The version is told by the first bytes, read once, so the device may be sequential (a pipe, a
// process, a socket); it is opened for reading if it is not open, and left open afterwards.
// `password` is called, once, only when the header announces encryption. `workers` is given to
// the unpackage before it opens (Base::setWorkerCount). Read the unpackage to its end, then ask
// validate().
ZRVSTREAMS_EXPORT QSharedPointer<UnpackageBase> openUnpackage(QSharedPointer<QIODevice> device,
                                                              const std::function<QByteArray()>& password,
                                                              int workers = 1);
ZRVSTREAMS_EXPORT QSharedPointer<UnpackageBase> openUnpackage(QSharedPointer<QIODevice> device,
                                                              const QByteArray& password, int workers = 1);

} // namespace ZRV::Stream::FileContainer
