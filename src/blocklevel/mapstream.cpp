#include "blocklevel/mapstream.h"

#include "blocklevel/blockcodec.h"
#include "blocklevel/mapmac.h"
#include "encryption/sealedblock.h"

#include "core/exception/invaliddata.h"
#include "core/zrvdebug.h"

#include <QDataStream>
#include <QFileDevice>
#include <QObject>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace ZRV::Stream::BlockLevel {

MapStream::MapStream(QSharedPointer<QIODevice> device, unsigned int revision, QObject* parent)
    : IStream(std::move(device), parent)
    , header_(new Header)
    , revision_(revision)
{
    header_->setRevison(revision);
}

MapStream::~MapStream()
{
    if (isOpen())
        close();
}

bool MapStream::open(OpenMode mode)
{
    if (!IStream::open(mode))
        return false;
    if (mode & WriteOnly) {
        if (writeHeader())
            return true;
        IStream::close();
        return false;
    }
    if (mode & ReadOnly) {
        try {
            readHeader();
        } catch (...) {
            IStream::close();
            throw;
        }
    }
    return true;
}

void MapStream::close()
{
    finish();
}

bool MapStream::finish()
{
    if (!isOpen())
        return false;
    QString failure;
    if ((openMode() & WriteOnly) && !writeHeader())
        failure = tr("Cannot write the final map header: %1").arg(source_->errorString());
    else if ((openMode() & WriteOnly) && keys_.isValid() && !writeMac())
        failure = errorString();
    auto* file = qobject_cast<QFileDevice*>(source_.data());
    if (failure.isEmpty() && (openMode() & WriteOnly) && file) {
        if (!file->flush())
            failure = tr("Cannot write map %1: %2").arg(file->fileName(), file->errorString());
        else if (::fsync(file->handle()) != 0)
            failure = tr("Cannot write map %1: %2").arg(file->fileName(), QString::fromLocal8Bit(std::strerror(errno)));
    }
    IStream::close();
    if (failure.isEmpty())
        return true;
    ZrvDebug("TXK").error() << "on finish map:" << failure;
    setErrorString(failure);
    return false;
}

bool MapStream::reset()
{
    if (!IStream::reset())
        return false;
    return readHeader();
}

qint64 MapStream::readData(char* data, qint64 maxSize)
{
    return source_->read(data, maxSize);
}

qint64 MapStream::writeData(const char* data, qint64 maxSize)
{
    if (keys_.isValid()) {
        if (!mac_) {
            setErrorString(tr("No map key to authenticate the records with"));
            return -1;
        }
        mac_->addRecords(data, maxSize);
    }
    return source_->write(data, maxSize);
}

void MapStream::setRepositoryKeys(const RepositoryKeys& keys)
{
    keys_ = keys;
}

void MapStream::setMapKey(const QByteArray& mapKey)
{
    mac_ = std::make_unique<MapMac>(mapKey, keys_.repositoryId, revision_);
}

QSharedPointer<const BlockCodec> MapStream::codec() const
{
    return codec_;
}

bool MapStream::writeMac()
{
    if (header_->revision() != revision_) {
        setErrorString(tr("Map header names revision %1 instead of %2").arg(header_->revision()).arg(revision_));
        return false;
    }
    if (!mac_ || header_->version() != Header::AuthenticatedVersion) {
        setErrorString(tr("A map of an authenticated repository needs its map key and version 5"));
        return false;
    }
    QByteArray header;
    QDataStream encoder(&header, QIODevice::WriteOnly);
    encoder << *header_;
    const QByteArray tag = mac_->finish(header);
    mac_.reset();
    if (source_->write(tag) != tag.size()) {
        setErrorString(tr("Cannot write the map's MAC: %1").arg(source_->errorString()));
        return false;
    }
    return true;
}

void MapStream::authenticate()
{
    using ZRV::Exception::InvalidData;
    const qint64 recordsStart = source_->pos();
    if (header_->version() != Header::AuthenticatedVersion)
        throw InvalidData(tr("Map version %1 in an authenticated repository").arg(header_->version()));
    if (header_->revision() != revision_)
        throw InvalidData(tr("Map names revision %1 instead of %2").arg(header_->revision()).arg(revision_));
    if (header_->encryptionAlgorithm() == ZRV::Core::Encryption::NoEncryption)
        throw InvalidData(tr("Map of an authenticated repository is not encrypted"));
    auto codec = QSharedPointer<BlockCodec>::create(*header_);
    if (codec->unlock(*header_, QByteArray(), keys_) != BlockCodec::Unlock::Opened)
        throw InvalidData(codec->errorString());

    const unsigned long long count = header_->blockCount();
    const qint64 size = source_->size();
    if (count > (unsigned long long)(qMax<qint64>(size - recordsStart, 0)) / Data::DataBlockSize)
        throw InvalidData(tr("Map ends before its last record"));
    QByteArray header(int(recordsStart), Qt::Uninitialized);
    if (!source_->seek(0) || source_->read(header.data(), header.size()) != header.size())
        throw InvalidData(tr("Map header cannot be read again"));
    MapMac mac(codec->mapKey(), keys_.repositoryId, revision_);
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    for (qint64 left = qint64(count) * Data::DataBlockSize; left > 0;) {
        const qint64 read = source_->read(chunk.data(), qMin<qint64>(left, chunk.size()));
        if (read <= 0)
            throw InvalidData(tr("Map ends before its last record"));
        mac.addRecords(chunk.constData(), read);
        left -= read;
    }
    QByteArray stored(MapMac::Length + 1, Qt::Uninitialized);
    const qint64 storedLength = source_->read(stored.data(), stored.size());
    const QByteArray expected = mac.finish(header);
    if (storedLength != MapMac::Length
        || !ZRV::Encryption::SealedBlock::equalInConstantTime(stored.left(MapMac::Length), expected))
        throw InvalidData(tr("Map fails its authentication"));
    if (!source_->seek(recordsStart))
        throw InvalidData(tr("Map cannot return to its first record"));
    codec_ = codec;
}

bool MapStream::writeHeader()
{
    const qint64 position = source_->pos();
    if (!source_->seek(0)) {
        ZrvDebug("TXK").error() << "on write map header";
        return false;
    }
    QDataStream stream(source_.data());
    stream << *header_;
    if (position != 0)
        source_->seek(position);
    if (stream.status() != QDataStream::Ok) {
        ZrvDebug("TXK").error() << "on write map header";
        return false;
    }
    return true;
}

bool MapStream::readHeader()
{
    QDataStream stream(source_.data());
    stream >> *header_;
    codec_.reset();
    if (keys_.isValid())
        authenticate();
    else if (header_->version() == Header::AuthenticatedVersion)
        throw ZRV::Exception::InvalidData(tr("Map version 5 can only be read with its repository's keys"));
    return true;
}

unsigned long long MapStream::blockCount() const
{
    return header_->blockCount();
}

bool MapStream::setBlockSize(unsigned int blockSize)
{
    return header_->setBlockSize(blockSize);
}

MapStream::Header* MapStream::header() const
{
    return header_.get();
}

ZRV::Core::Compression::Algorithm MapStream::compressionAlgorith() const
{
    return header_->compressionAlgorith();
}

ZRV::Core::Encryption::Algorithm MapStream::encryptionAlgorith() const
{
    return header_->encryptionAlgorithm();
}

void MapStream::setEncryptionAlgorithm(ZRV::Core::Encryption::Algorithm algorithm)
{
    header_->setEncryptionAlgorithm(algorithm);
}

unsigned int MapStream::hashAlgorithm() const
{
    return header_->hashAlgorithm();
}

unsigned int MapStream::revision() const
{
    return header_->revision();
}

unsigned long long MapStream::length() const
{
    return header_->length();
}

unsigned int MapStream::blockSize() const
{
    return header_->blockSize();
}

QByteArray MapStream::keyPadding() const
{
    return header_->keyPadding();
}

bool MapStream::useCompression() const
{
    return header_->compressionAlgorith() != ZRV::Core::Compression::None;
}

bool MapStream::useEncryption() const
{
    return header_->encryptionAlgorithm() != ZRV::Core::Encryption::NoEncryption;
}

QMap<unsigned int, QList<Extensions::Range<unsigned long long>>> MapStream::revisionRange(
    const QSharedPointer<MapStream>& map)
{
    using ByteRange = Extensions::Range<unsigned long long>;
    QMap<unsigned int, QList<ByteRange>> ranges;
    if (!map || !map->isOpen())
        return ranges;

    QDataStream stream(map.data());
    const unsigned long long count = map->blockCount();
    unsigned int revision = 0;
    unsigned long long lower = 0;
    unsigned long long end = 0;
    for (unsigned long long index = 0; index < count; ++index) {
        Data record;
        stream >> record;
        if (stream.status() != QDataStream::Ok)
            throw ZRV::Exception::InvalidData(QObject::tr("Map ends before record %1 of %2").arg(index).arg(count));
        if (index == 0) {
            revision = record.revision();
            lower = end = record.offset();
        }
        if (record.revision() == revision) {
            end += record.length();
        } else {
            ranges[revision].append(ByteRange(lower, end, true, true));
            revision = record.revision();
            lower = record.offset();
            end = record.offset() + record.length();
        }
    }
    if (count > 0)
        ranges[revision].append(ByteRange(lower, end, true, true));
    return ranges;
}

} // namespace ZRV::Stream::BlockLevel
