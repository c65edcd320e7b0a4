#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <mutex>
#include <vector>

class QObject;

namespace ZRV::Cloud {

// Hands the chunks of one transfer from the worker thread that produces them to the thread that
// consumes them. The producer may hold at most `window` chunks in the channel before it has to wait
// for room. Each side is woken through its own thread's event loop by a queued call of a slot
// without arguments; everything else passes through the channel under its lock. Wake-ups are posted
// under that lock, so a side that detaches in its destructor, before its QObject part is destroyed,
// is never called afterwards.
class Channel
{
public:
    // window 0: no limit (for a consumer that collects everything, see waitForEnd).
    explicit Channel(int window);

    struct Batch
    {
        std::vector<QByteArray> chunks;
        bool ended = false;
        QString error; // set when the transfer ended badly
        qint64 objectSize = -1; // what a size lookup found
        QByteArray etag; // what a call's answer named its object
    };

    // Consumer side.
    void attachConsumer(QObject* consumer, const char* wakeSlot);
    // Everything produced since the last take.
    Batch take();
    // Blocks until the producer has ended or the channel was cancelled; returns everything.
    Batch waitForEnd();
    // Detaches the consumer, drops pending chunks and wakes the producer so that it stops.
    void cancel();

    // Producer side.
    void attachProducer(QObject* producer, const char* wakeSlot);
    void detachProducer();
    bool isCancelled() const;
    // False when the window is full (the producer is then woken once the consumer has taken) or the
    // channel was cancelled.
    bool hasRoom();
    void push(QByteArray chunk);
    // objectSize: what a size lookup found; etag: what a call's answer named.
    void end(const QString& error, qint64 objectSize = -1, const QByteArray& etag = QByteArray());

private:
    // Everything produced so far; called under the lock.
    Batch takeAll();
    void wakeConsumer();
    void wakeProducer();

    mutable std::mutex mutex_;
    std::condition_variable endedOrCancelled_;
    const int window_;
    std::vector<QByteArray> chunks_;
    bool ended_ = false;
    bool cancelled_ = false;
    QString error_;
    qint64 objectSize_ = -1;
    QByteArray etag_;
    QObject* consumer_ = nullptr;
    const char* consumerSlot_ = nullptr;
    bool consumerWakePosted_ = false;
    QObject* producer_ = nullptr;
    const char* producerSlot_ = nullptr;
    bool producerWaiting_ = false;
};

} // namespace ZRV::Cloud
