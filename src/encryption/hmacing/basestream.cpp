#include "encryption/hmacing/basestream.h"

namespace ZRV::Stream::Hmacing {

BaseStream::BaseStream(QSharedPointer<QIODevice> source, const QByteArray& key, QObject* parent)
    : IStreamRead(std::move(source), parent)
    , mac_(reinterpret_cast<const CryptoPP::byte*>(key.constData()), key.size())
{
}

BaseStream::~BaseStream() = default;

void BaseStream::addData(const QByteArray& data)
{
    addData(data.constData(), data.size());
}

void BaseStream::addData(const char* data, qint64 length)
{
    mac_.Update(reinterpret_cast<const CryptoPP::byte*>(data), size_t(length));
}

QByteArray BaseStream::mac() const
{
    auto finished = mac_;
    QByteArray result(TrailerLength, Qt::Uninitialized);
    finished.Final(reinterpret_cast<CryptoPP::byte*>(result.data()));
    return result;
}

} // namespace ZRV::Stream::Hmacing
