#pragma once

#include <QByteArray>

#include <memory>

namespace CryptoPP {
class HashTransformation;
}

namespace ZRV::Stream::BlockLevel {

// The MAC that closes a version 5 map: HMAC-SHA-256 under the map key over, in this order, the
// repository id (16 bytes), the revision the map's file name gives (4 bytes, little-endian),
// every record as stored, and the whole header as stored. Records come before the header
// because the writer knows the header's final bytes only once every record is written.
class MapMac
{
public:
    static constexpr int Length = 32;

    MapMac(const QByteArray& mapKey, const QByteArray& repositoryId, quint32 revision);
    ~MapMac();

    void addRecords(const char* data, qint64 size);
    // The MAC, once every record was added.
    QByteArray finish(const QByteArray& header);

private:
    std::unique_ptr<CryptoPP::HashTransformation> mac_;
};

} // namespace ZRV::Stream::BlockLevel
