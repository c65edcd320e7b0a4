#include "channel.h"

#include <QMetaObject>
#include <QObject>

namespace ZRV::Cloud {

using Lock = std::lock_guard<std::mutex>;

Channel::Channel(int window)
    : window_(window)
{
}

void Channel::attachConsumer(QObject* consumer, const char* wakeSlot)
{
    Lock lock(mutex_);
    consumer_ = consumer;
    consumerSlot_ = wakeSlot;
    if (!chunks_.empty() || ended_)
        wakeConsumer();
}

Channel::Batch Channel::take()
{
    Lock lock(mutex_);
    Batch batch = takeAll();
    consumerWakePosted_ = false;
    if (producerWaiting_) {
        producerWaiting_ = false;
        wakeProducer();
    }
    return batch;
}

Channel::Batch Channel::waitForEnd()
{
    std::unique_lock<std::mutex> lock(mutex_);
    endedOrCancelled_.wait(lock, [this] { return ended_ || cancelled_; });
    return takeAll();
}

Channel::Batch Channel::takeAll()
{
    Batch batch;
    batch.chunks.swap(chunks_);
    batch.ended = ended_;
    batch.error = error_;
    batch.objectSize = objectSize_;
    batch.etag = etag_;
    return batch;
}

void Channel::cancel()
{
    Lock lock(mutex_);
    if (cancelled_)
        return;
    cancelled_ = true;
    consumer_ = nullptr;
    chunks_.clear();
    wakeProducer();
    endedOrCancelled_.notify_all();
}

void Channel::attachProducer(QObject* producer, const char* wakeSlot)
{
    Lock lock(mutex_);
    producer_ = producer;
    producerSlot_ = wakeSlot;
}

void Channel::detachProducer()
{
    Lock lock(mutex_);
    producer_ = nullptr;
}

bool Channel::isCancelled() const
{
    Lock lock(mutex_);
    return cancelled_;
}

bool Channel::hasRoom()
{
    Lock lock(mutex_);
    if (cancelled_)
        return false;
    if (window_ == 0 || int(chunks_.size()) < window_)
        return true;
    producerWaiting_ = true;
    return false;
}

void Channel::push(QByteArray chunk)
{
    Lock lock(mutex_);
    if (cancelled_ || ended_)
        return;
    chunks_.push_back(std::move(chunk));
    wakeConsumer();
}

void Channel::end(const QString& error, qint64 objectSize, const QByteArray& etag)
{
    Lock lock(mutex_);
    if (ended_)
        return;
    ended_ = true;
    error_ = error;
    objectSize_ = objectSize;
    etag_ = etag;
    wakeConsumer();
    endedOrCancelled_.notify_all();
}

void Channel::wakeConsumer()
{
    if (!consumer_ || consumerWakePosted_)
        return;
    consumerWakePosted_ = true;
    QMetaObject::invokeMethod(consumer_, consumerSlot_, Qt::QueuedConnection);
}

void Channel::wakeProducer()
{
    if (producer_)
        QMetaObject::invokeMethod(producer_, producerSlot_, Qt::QueuedConnection);
}

} // namespace ZRV::Cloud
