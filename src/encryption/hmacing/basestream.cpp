#include "encryption/hmacing/basestream.h"

#include <cryptopp/hmac.h>
#include <cryptopp/sha.h>

namespace ZRV::Stream::Hmacing {

class BaseStream::State : public CryptoPP::HMAC<CryptoPP::SHA256>
{
public:
    using HMAC::HMAC;
};

BaseStream::BaseStream(QSharedPointer<QIODevice> source, const QByteArray& key, QObject* parent)
    : IStreamRead(std::move(source), parent)
    , state_(std::make_unique<State>(reinterpret_cast<const CryptoPP::byte*>(key.constData()), key.size()))
{
}

BaseStream::~BaseStream() = default;

void BaseStream::addData(const QByteArray& data)
{
    addData(data.constData(), data.size());
}

void BaseStream::addData(const char* data, qint64 length)
{
    state_->Update(reinterpret_cast<const CryptoPP::byte*>(data), size_t(length));
}

QByteArray BaseStream::mac() const
{
    CryptoPP::HMAC<CryptoPP::SHA256> finished = *state_;
    QByteArray result(TrailerLength, Qt::Uninitialized);
    finished.Final(reinterpret_cast<CryptoPP::byte*>(result.data()));
    return result;
}

} // namespace ZRV::Stream::Hmacing
