#include "encryption/hmacing/basestream.h"

#include "stream/orderedwork.h"

#include <cryptopp/hmac.h>
#include <cryptopp/sha.h>
#include <cstring>

namespace ZRV::Stream::Hmacing {

class BaseStream::State : public CryptoPP::HMAC<CryptoPP::SHA256>
{
public:
    using HMAC::HMAC;
};

// Copies what is added into a ring of batch buffers and has one thread feed each full batch to
// the state, in order. A buffer is filled again only after the job that read it was taken back:
// with one job fewer in flight than there are buffers, the job of a buffer's previous round is
// always done by then.
class BaseStream::MacThread
{
public:
    explicit MacThread(State* state)
        : state_(state)
    {
    }

    void add(const char* data, qint64 length)
    {
        while (length > 0) {
            if (!buffers_[current_])
                buffers_[current_].reset(new char[BatchSize]);
            const qint64 count = qMin<qint64>(length, BatchSize - filled_);
            std::memcpy(buffers_[current_].get() + filled_, data, size_t(count));
            filled_ += count;
            data += count;
            length -= count;
            if (filled_ == BatchSize)
                submit();
        }
    }

    void catchUp()
    {
        if (filled_ > 0)
            submit();
        while (!work_.isEmpty())
            work_.take();
    }

private:
    // Gathered before a batch goes to the thread (small reads would otherwise make a job each);
    // at most Ring batches exist, about 1 MiB.
    static constexpr qint64 BatchSize = 262144;
    static constexpr int Ring = 5;

    void submit()
    {
        if (work_.isFull())
            work_.take();
        const auto* bytes = reinterpret_cast<const CryptoPP::byte*>(buffers_[current_].get());
        const size_t size = size_t(filled_);
        State* state = state_;
        work_.submit([state, bytes, size] { state->Update(bytes, size); });
        current_ = (current_ + 1) % Ring;
        filled_ = 0;
    }

    State* const state_;
    std::unique_ptr<char[]> buffers_[Ring];
    int current_ = 0;
    qint64 filled_ = 0;
    // Last: its destructor waits for the jobs that read the buffers.
    OrderedWork<void> work_{1, Ring - 1};
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

void BaseStream::setWorkerCount(int count)
{
    catchUp();
    if (count > 1 && !macThread_)
        macThread_ = std::make_unique<MacThread>(state_.get());
    else if (count <= 1)
        macThread_.reset();
}

void BaseStream::addData(const char* data, qint64 length)
{
    if (macThread_)
        macThread_->add(data, length);
    else
        state_->Update(reinterpret_cast<const CryptoPP::byte*>(data), size_t(length));
}

void BaseStream::catchUp() const
{
    if (macThread_)
        macThread_->catchUp();
}

QByteArray BaseStream::mac() const
{
    catchUp();
    CryptoPP::HMAC<CryptoPP::SHA256> finished = *state_;
    QByteArray result(TrailerLength, Qt::Uninitialized);
    finished.Final(reinterpret_cast<CryptoPP::byte*>(result.data()));
    return result;
}

} // namespace ZRV::Stream::Hmacing
