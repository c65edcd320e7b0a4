#pragma once

#include "stream/istreamread.h"
#include "zrvstreams_export.h"

#include <memory>

namespace ZRV::Stream::Hmacing {

// The MAC state the HMAC streams share: HMAC-SHA-256 keyed with the constructor's key, over every
// byte added, in order. Abstract: readData stays pure. Each object serves one pass; the state
// is never reset.
class ZRVSTREAMS_EXPORT BaseStream : public IStreamRead
{
    Q_OBJECT

public:
    static constexpr qint64 TrailerLength = 32;

    BaseStream(QSharedPointer<QIODevice> source, const QByteArray& key, QObject* parent = nullptr);
    ~BaseStream() override;

    // Context bytes (such as an IV): after open and before the first read, the same on both sides.
    void addData(const QByteArray& data);

protected:
    void addData(const char* data, qint64 length);
    // The MAC of everything added so far; the state itself is left as it is.
    QByteArray mac() const;

private:
    // The HMAC-SHA-256 state, kept out of this header so that callers need no crypto headers.
    class State;
    const std::unique_ptr<State> state_;
};

} // namespace ZRV::Stream::Hmacing
