#pragma once

#include "zrvstreams_export.h"

#include <QByteArray>

namespace ZRV::Stream::BlockLevel {

// What the streams of an authenticated (version 5) repository need from its settings: the
// repository's 16-byte id and its 32-byte password key (ZRV::Encryption::KeyDerivation, derived
// once per run by the caller). Given to a map, a data stream or a revision stream before it
// opens, it makes them write and accept version 5 maps only.
struct ZRVSTREAMS_EXPORT RepositoryKeys
{
    static constexpr int IdLength = 16;

    QByteArray repositoryId;
    QByteArray passwordKey;

    bool isValid() const;
};

} // namespace ZRV::Stream::BlockLevel
