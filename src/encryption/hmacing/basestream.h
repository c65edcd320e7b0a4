#pragma once

#include "stream/istreamread.h"

#include <cryptopp/hmac.h>
#include <cryptopp/sha.h>

namespace ZRV::Stream::Hmacing {

// The MAC state the HMAC streams share: HMAC-SHA-256 keyed with the constructor's key, over every
// byte added, in order. Abstract: readData stays pure. Each object serves one pass; the state
// is never reset.
class BaseStream : public IStreamRead
{
    Q_OBJECT

public:
    static constexpr qint64 TrailerLength = 32;

    BaseStream(QSharedPointer<QIODevice> source, const QByteArray& key, QObject* parent);
    ~BaseStream() override;

    // Context bytes (such as an IV): after open and before the first read, the same on both sides.
    void addData(const QByteArray& data);

protected:
    void addData(const char* data, qint64 length);
    // The MAC of everything added so far; the state itself is left as it is.
    QByteArray mac() const;

private:
    CryptoPP::HMAC<CryptoPP::SHA256> mac_;
};

} // namespace ZRV::Stream::Hmacing
