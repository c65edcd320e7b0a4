#pragma once

#include "fuzzinput.h"

#include "core/exception/base.h"

namespace ZRV::Fuzz {

const QByteArray ContainerPassword = "fuzz password";

struct Unpacked
{
    bool opened = false;
    bool thrown = false;
    bool valid = false;
    Drained drained;
};

// Opens an unpackage over the container and reads it to its end in requests that follow pattern.
// validated(unpackage) is the integrity verdict (validate() where the version has one).
template <class Unpackage, class Validated>
Unpacked unpack(const QByteArray& container, quint8 pattern, Validated validated)
{
    Unpacked result;
    Unpackage unpackage(inputDevice(container), ContainerPassword, nullptr);
    result.opened = unpackage.open(openMode(pattern));
    if (!result.opened)
        return result;
    try {
        result.drained = drain(unpackage, pattern);
    } catch (const ZRV::Exception::Base&) {
        result.thrown = true;
        return result;
    }
    require(result.drained.atEnd || result.drained.readFailed || result.drained.capped,
            "unpackage stopped short of its end");
    result.valid = validated(unpackage);
    return result;
}

// Input: a request-pattern byte, then the container. The unpackage must open or refuse, then end,
// fail or throw a library exception; and a container read to its end under two request patterns
// must give the same bytes and the same verdict.
template <class Unpackage, class Validated>
void checkUnpackage(const uint8_t* data, size_t size, Validated validated)
{
    if (size < 1)
        return;
    quietLogging();
    const QByteArray container = inputBytes(data + 1, size - 1);
    const Unpacked patterned = unpack<Unpackage>(container, data[0], validated);
    const Unpacked large = unpack<Unpackage>(container, LargeReads, validated);
    require(patterned.opened == large.opened, "opening depends on the open mode");
    if (patterned.opened && !patterned.thrown && !large.thrown && patterned.drained.atEnd && large.drained.atEnd) {
        require(patterned.valid == large.valid, "the verdict depends on the request sizes");
        require(!patterned.valid || patterned.drained.digest == large.drained.digest,
                "valid output depends on the request sizes");
    }
}

} // namespace ZRV::Fuzz
