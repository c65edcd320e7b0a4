#pragma once

#include "cloud/ioperation.h"
#include "transferrequest.h"

#include <QSharedPointer>

class QIODevice;

namespace ZRV::Cloud {

// Writes what its transfer produces into the target, in the operation's own thread: the worker
// thread never touches the target, so remove() (in this thread) cuts the target off at once.
class DownloadOperation : public IOperation
{
    Q_OBJECT

public:
    // The operation deletes itself later when its last reference goes inside its own finished().
    static QSharedPointer<IOperation> make(TransferRequest request, QIODevice* target);

    ~DownloadOperation() override;

    void start() override;
    bool isComplite() const override { return state_ == State::Complete; }
    bool isError() const override { return state_ == State::Failed; }
    const QString& errorMessage() const override { return error_; }
    void remove() override;

private slots:
    // Writes what has arrived; called through the event loop when the channel has news.
    void drain();

private:
    enum class State { Created, Running, Complete, Failed, Removed };

    DownloadOperation(TransferRequest request, QIODevice* target);
    static void release(IOperation* operation);

    bool flushTarget();
    // A file target, preallocated perhaps, ends where the object's bytes end.
    bool cutTarget();
    void conclude(const QString& error);

    TransferRequest request_;
    QIODevice* const target_;
    State state_ = State::Created;
    QString error_;
    qint64 written_ = 0;
    bool emitting_ = false;
};

} // namespace ZRV::Cloud
