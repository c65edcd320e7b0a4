#pragma once

#include "transferrequest.h"

#include <QObject>

namespace ZRV::Cloud {

// The worker-thread side of one transfer: fetches the requested bytes (or only the object's size)
// from its provider and pushes them into the request's channel, pausing while the channel's window
// is full. It deletes itself (deleteLater) once it has ended or its channel has been cancelled.
class Transfer : public QObject
{
    Q_OBJECT

public:
    explicit Transfer(TransferRequest request, QObject* parent = nullptr);
    ~Transfer() override;

    // Starts the transfer unless its channel was cancelled while it waited to run.
    void begin();

protected:
    virtual void onBegin() = 0;
    // The channel has room again; continue producing.
    virtual void resume() = 0;

    const TransferRequest& request() const { return request_; }
    qint64 chunkSize() const { return request_.provider.chunkSize(); }
    bool isDone() const { return done_; }
    bool hasRoom() { return request_.channel->hasRoom(); }
    void deliver(QByteArray chunk) { request_.channel->push(std::move(chunk)); }
    bool isSizeLookup() const { return request_.goal == TransferRequest::Goal::Size; }
    // Ends the transfer, badly when `error` is not empty; objectSize is what a size lookup found.
    void finish(const QString& error = QString(), qint64 objectSize = -1, const QByteArray& etag = QByteArray());
    void finishWithSize(qint64 objectSize) { finish(QString(), objectSize); }

private slots:
    void onWake();

private:
    bool stopIfCancelled();

    const TransferRequest request_;
    bool done_ = false;
};

} // namespace ZRV::Cloud
