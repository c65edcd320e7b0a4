// Reads arbitrary bytes as a block map: MapStream's header reader, then every record the header
// announces, and revisionRange over the same map. A map whose version byte says 5 is read as
// revision 1 of the fixed authenticated repository, which checks it whole first.
// Checks: a header and records that read without error write back to bytes that read back to the
// same values (compared by writing them once more).
#include "fuzzinput.h"

#include "blocklevel/mapstream.h"
#include "blocklevel/mapstreamdata.h"
#include "blocklevel/mapstreamheader.h"
#include "core/exception/invaliddata.h"

#include <QDataStream>

using namespace ZRV::Fuzz;
using ZRV::Stream::BlockLevel::MapStream;

namespace {

template <class Record>
QByteArray written(const Record& record)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << record;
    return bytes;
}

template <class Record>
void checkRoundTrip(const Record& record, Record reread)
{
    const QByteArray bytes = written(record);
    QDataStream stream(bytes);
    try {
        stream >> reread;
    } catch (const ZRV::Exception::InvalidData&) {
        fail("written map bytes do not read back");
    }
    require(stream.status() == QDataStream::Ok && stream.atEnd(), "written map bytes read short or long");
    require(written(reread) == bytes, "map bytes read back different");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quietLogging();
    const QByteArray input = inputBytes(data, size);
    const bool authenticated = input.size() > 10 && input[10] == 5;
    auto map = QSharedPointer<MapStream>::create(inputDevice(input), authenticated ? 1 : 0, nullptr);
    if (authenticated)
        map->setRepositoryKeys(repositoryKeys());
    try {
        if (!map->open(QIODevice::ReadOnly))
            return 0;
    } catch (const ZRV::Exception::InvalidData&) {
        return 0;
    }
    checkRoundTrip(*map->header(), MapStream::Header());

    QDataStream records(map.data());
    for (unsigned long long index = 0; index < map->blockCount() && !map->atEnd(); ++index) {
        MapStream::Data record;
        records >> record;
        if (records.status() != QDataStream::Ok)
            break;
        checkRoundTrip(record, MapStream::Data());
    }

    require(map->reset(), "a map that opened does not rewind");
    try {
        MapStream::revisionRange(map);
    } catch (const ZRV::Exception::InvalidData&) {
        // A map that ends before its last record.
    }
    return 0;
}
