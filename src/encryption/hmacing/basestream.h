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

    // With more than one worker, the MAC is computed on a thread of its own, over copies of the
    // bytes passed, while the caller's thread reads on (and, above this stream, decrypts in place);
    // a few MiB at most wait for it. The MAC is the same either way; asking for it (validate(),
    // the trailer) waits for the thread to catch up. One, the default, starts no thread. May be
    // changed at any time; what was added before stays in the MAC.
    void setWorkerCount(int count);

protected:
    void addData(const char* data, qint64 length);
    // The MAC of everything added so far; the state itself is left as it is.
    QByteArray mac() const;

private:
    // Waits until the MAC thread has taken in everything added.
    void catchUp() const;

    // The HMAC-SHA-256 state, kept out of this header so that callers need no crypto headers.
    class State;
    const std::unique_ptr<State> state_;
    // The thread that updates the state, with one worker and more; declared after the state,
    // so that it finishes before the state goes.
    class MacThread;
    mutable std::unique_ptr<MacThread> macThread_;
};

} // namespace ZRV::Stream::Hmacing
