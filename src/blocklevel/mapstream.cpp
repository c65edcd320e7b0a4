#include "blocklevel/mapstream.h"

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
{
    header_->setRevison(revision);
}

MapStream::~MapStream()
{
    if (isOpen())
        close();
    delete header_;
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
    return source_->write(data, maxSize);
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
    return header_;
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
            throw ZRV::Exception::InvalidData(
                QObject::tr("Map ends before record %1 of %2").arg(index).arg(count));
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
