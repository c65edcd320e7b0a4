#pragma once

#include "fuzzinput.h"

#include "core/exception/base.h"

namespace ZRV::Fuzz {

const QByteArray ContainerPassword = "fuzz password";

// The integrity verdict of a container read to its end. Damaged gzip data fails the read at a
// point that depends on the request sizes, so only containers read to their end can be compared
// across request patterns.
enum class Verdict { Unchecked, Invalid, Valid };

struct Unpacked
{
    bool opened = false;
    bool thrown = false;
    Verdict verdict = Verdict::Unchecked;
    Drained drained;
};

// Opens an unpackage over the container and reads it to its end in requests that follow pattern.
// verdictOf(unpackage) gives the integrity verdict.
template <class Unpackage, class VerdictOf>
Unpacked unpack(const QByteArray& container, quint8 pattern, VerdictOf verdictOf)
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
    result.verdict = verdictOf(unpackage);
    return result;
}

// Input: a request-pattern byte, then the container. The unpackage must open or refuse, then end,
// fail or throw a library exception; and a checked container read to its end under two request
// patterns must get the same verdict, and when valid give the same bytes.
template <class Unpackage, class VerdictOf>
void checkUnpackage(const uint8_t* data, size_t size, VerdictOf verdictOf)
{
    if (size < 1)
        return;
    quietLogging();
    const QByteArray container = inputBytes(data + 1, size - 1);
    const Unpacked patterned = unpack<Unpackage>(container, data[0], verdictOf);
    const Unpacked large = unpack<Unpackage>(container, LargeReads, verdictOf);
    require(patterned.opened == large.opened, "opening depends on the open mode");
    if (patterned.opened && !patterned.thrown && !large.thrown && patterned.drained.atEnd && large.drained.atEnd
        && patterned.verdict != Verdict::Unchecked) {
        require(patterned.verdict == large.verdict, "the verdict depends on the request sizes");
        require(patterned.verdict == Verdict::Invalid || patterned.drained.digest == large.drained.digest,
                "valid output depends on the request sizes");
    }
}

} // namespace ZRV::Fuzz
