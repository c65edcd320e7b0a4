#pragma once

#include "blocklevel/repositorykeys.h"
#include "core/encryption/algorithm.h"
#include "core/extensions/range.h"
#include "stream/istream.h"
#include "zrvstreams_export.h"

#include <QList>
#include <QMap>

#include <memory>

namespace ZRV::Stream::BlockLevel {

class BlockCodec;
class MapMac;

// The index of one block-level revision: a versioned header followed by one fixed-size record
// per block of the source. Opening for writing writes the header at once; closing writes it
// again with its final values at the same place. Opening for reading reads the header and
// leaves the device at the first record. Records pass through unchanged: callers read and
// write them with a QDataStream attached to this stream.
//
// A map of an authenticated repository (setRepositoryKeys) is version 5 and ends with a MAC
// (MapMac) over the repository id, the revision given to the constructor, its records and its
// header. Opening or resetting it for reading refuses (InvalidData) a map of another version, of
// another revision, whose master key the keys do not open, or whose MAC does not match: nothing
// of it is handed out before all of it was checked. The device must be able to seek.
class ZRVSTREAMS_EXPORT MapStream : public IStream
{
    Q_OBJECT

public:
    class Header;
    class Data;

    MapStream(QSharedPointer<QIODevice> device, unsigned int revision, QObject* parent = nullptr);
    ~MapStream() override;

    // Throws ZRV::Exception::InvalidData for a malformed header; a map whose open fails or
    // throws is left closed.
    bool open(OpenMode mode) override;
    // As finish(), for callers that do not look at the result: the error string keeps it.
    void close() override;
    // Closes the map. A map open for writing first writes its final header and, when its device
    // is a file, flushes it and syncs it to disk. False, with the error string naming the cause,
    // when that failed (or the map was not open): the map on the device is then not the run's
    // map and must not be published.
    bool finish();
    // Rewinds the device and reads the header again (throws as open does).
    bool reset() override;

    // Before open: the map belongs to the authenticated repository of keys.
    void setRepositoryKeys(const RepositoryKeys& keys);
    // For writing a version 5 map: the key of its MAC, set before the first record is written.
    void setMapKey(const QByteArray& mapKey);
    // After a version 5 map opened for reading: the codec holding the chain's keys; null for
    // other maps.
    QSharedPointer<const BlockCodec> codec() const;

    // Writes the header at offset 0 and returns to where the device stood. False, with an
    // error line, when the device cannot seek or write or the header cannot be encoded.
    bool writeHeader();
    // Reads the header at the device's current position, and for an authenticated repository
    // checks the whole map; throws InvalidData when malformed or refused.
    bool readHeader();

    unsigned long long blockCount() const;
    bool setBlockSize(unsigned int blockSize);
    Header* header() const;
    ZRV::Core::Compression::Algorithm compressionAlgorith() const;
    ZRV::Core::Encryption::Algorithm encryptionAlgorith() const;
    void setEncryptionAlgorithm(ZRV::Core::Encryption::Algorithm algorithm);
    unsigned int hashAlgorithm() const;
    unsigned int revision() const;
    unsigned long long length() const;
    unsigned int blockSize() const;
    QByteArray keyPadding() const;
    bool useCompression() const;
    bool useEncryption() const;

    // For each revision, the stretches of its data stream that the records from the map's
    // current position on refer to: one range per run of consecutive records of a revision.
    // Throws InvalidData when the map ends before its last record.
    static QMap<unsigned int, QList<Extensions::Range<unsigned long long>>> revisionRange(
        const QSharedPointer<MapStream>& map);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    void authenticate();
    bool writeMac();

    const std::unique_ptr<Header> header_;
    const unsigned int revision_;
    RepositoryKeys keys_;
    QSharedPointer<const BlockCodec> codec_;
    std::unique_ptr<MapMac> mac_;
};

} // namespace ZRV::Stream::BlockLevel

// The nested record classes need MapStream complete.
#include "blocklevel/mapstreamdata.h"
#include "blocklevel/mapstreamheader.h"
