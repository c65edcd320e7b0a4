#pragma once

#include "core/encryption/algorithm.h"
#include "core/extensions/range.h"
#include "stream/istream.h"
#include "zrvstreams_export.h"

#include <QList>
#include <QMap>

namespace ZRV::Stream::BlockLevel {

// The index of one block-level revision: a versioned header followed by one fixed-size record
// per block of the source. Opening for writing writes the header at once; closing writes it
// again with its final values at the same place. Opening for reading reads the header and
// leaves the device at the first record. Records pass through unchanged: callers read and
// write them with a QDataStream attached to this stream.
class ZRVSTREAMS_EXPORT MapStream : public IStream
{
    Q_OBJECT

public:
    class Header;
    class Data;

    MapStream(QSharedPointer<QIODevice> device, unsigned int revision, QObject* parent);
    ~MapStream() override;

    // Throws ZRV::Exception::InvalidData for a malformed header; a map whose open fails or
    // throws is left closed.
    bool open(OpenMode mode) override;
    void close() override;
    // Rewinds the device and reads the header again (throws as open does).
    bool reset() override;

    // Writes the header at offset 0 and returns to where the device stood. False, with an
    // error line, when the device cannot seek or write or the header cannot be encoded.
    bool writeHeader();
    // Reads the header at the device's current position; throws InvalidData when malformed.
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
    Header* const header_;
};

} // namespace ZRV::Stream::BlockLevel

// The nested record classes need MapStream complete.
#include "blocklevel/mapstreamdata.h"
#include "blocklevel/mapstreamheader.h"
