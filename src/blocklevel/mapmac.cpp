#include "blocklevel/mapmac.h"

#include <QtEndian>
#include <cryptopp/hmac.h>
#include <cryptopp/sha.h>

namespace ZRV::Stream::BlockLevel {

namespace {

const CryptoPP::byte* cryptoBytes(const char* data)
{
    return reinterpret_cast<const CryptoPP::byte*>(data);
}

} // namespace

MapMac::MapMac(const QByteArray& mapKey, const QByteArray& repositoryId, quint32 revision)
    : mac_(std::make_unique<CryptoPP::HMAC<CryptoPP::SHA256>>(cryptoBytes(mapKey.constData()), size_t(mapKey.size())))
{
    mac_->Update(cryptoBytes(repositoryId.constData()), size_t(repositoryId.size()));
    char number[4];
    qToLittleEndian(revision, number);
    mac_->Update(cryptoBytes(number), sizeof number);
}

MapMac::~MapMac() = default;

void MapMac::addRecords(const char* data, qint64 size)
{
    mac_->Update(cryptoBytes(data), size_t(size));
}

QByteArray MapMac::finish(const QByteArray& header)
{
    mac_->Update(cryptoBytes(header.constData()), size_t(header.size()));
    QByteArray result(Length, Qt::Uninitialized);
    mac_->Final(reinterpret_cast<CryptoPP::byte*>(result.data()));
    return result;
}

} // namespace ZRV::Stream::BlockLevel
