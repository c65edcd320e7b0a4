// Restores arbitrary bytes as a block-level revision: RevisionStream over a map and the data of
// revisions 0 and 1 (revisions named by records beyond those have no device), with a fixed password;
// a map whose version byte says 5 is restored as revision 1 of the fixed authenticated repository.
// Input: a request-pattern byte, two bytes of map length m and two of revision-0 data length d
// (little-endian), then m map bytes, d bytes of revision 0 and the rest as revision 1.
// Checks: the stream opens or refuses, then ends or throws a library exception; it never hands out
// more than the map's length; a restore that ended gives the same bytes again after reset(), and
// the same bytes with three workers.
#include "fuzzinput.h"

#include "blocklevel/mapstream.h"
#include "blocklevel/revisionstream.h"
#include "core/exception/base.h"

#include <QtEndian>

#include <memory>
#include <utility>

using namespace ZRV::Fuzz;
using namespace ZRV::Stream::BlockLevel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t prefix = 5;
    if (size < prefix)
        return 0;
    quietLogging();
    const quint8 pattern = data[0];
    const QByteArray rest = inputBytes(data + prefix, size - prefix);
    const QByteArray mapBytes = rest.left(qFromLittleEndian<quint16>(data + 1));
    const QByteArray data0 = rest.mid(mapBytes.size(), qFromLittleEndian<quint16>(data + 3));
    const QByteArray data1 = rest.mid(mapBytes.size() + data0.size());

    const bool authenticated = mapBytes.size() > 10 && mapBytes[10] == 5;
    // A restore over devices of its own.
    const auto restore = [&](int workers) {
        auto map = QSharedPointer<MapStream>::create(inputDevice(mapBytes), authenticated ? 1 : 0, nullptr);
        const QMap<unsigned int, QSharedPointer<QIODevice>> revisions{{0, inputDevice(data0)}, {1, inputDevice(data1)}};
        auto stream = std::make_unique<RevisionStream>(map, revisions, "fuzz password", nullptr);
        if (authenticated)
            stream->setRepositoryKeys(repositoryKeys());
        stream->setWorkerCount(workers);
        return std::make_pair(std::move(stream), map);
    };
    auto [restored, map] = restore(1);
    RevisionStream& stream = *restored;
    try {
        if (!stream.open(openMode(pattern)))
            return 0;
        const Drained drained = drain(stream, pattern);
        require(drained.atEnd || drained.readFailed || drained.capped, "restore stopped short of its end");
        require(quint64(drained.size) <= map->length(), "restore handed out more than the map's length");
        if (!drained.atEnd)
            return 0;
        require(stream.reset(), "a restore that ended does not reset");
        require(drain(stream, LargeReads).digest == drained.digest, "a reset restore gives other bytes");
        auto parallel = restore(3);
        require(parallel.first->open(openMode(pattern)), "a restore that ended does not open with workers");
        require(drain(*parallel.first, pattern).digest == drained.digest, "a restore with workers gives other bytes");
    } catch (const ZRV::Exception::Base&) {
    }
    return 0;
}
