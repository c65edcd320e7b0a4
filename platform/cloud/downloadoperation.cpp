#include "downloadoperation.h"

#include "transferpool.h"

#include <QFileDevice>

namespace ZRV::Cloud {

QSharedPointer<IOperation> DownloadOperation::make(TransferRequest request, QIODevice* target)
{
    return QSharedPointer<IOperation>(new DownloadOperation(std::move(request), target), &DownloadOperation::release);
}

DownloadOperation::DownloadOperation(TransferRequest request, QIODevice* target)
    : request_(std::move(request))
    , target_(target)
{
}

DownloadOperation::~DownloadOperation()
{
    request_.channel->cancel();
}

void DownloadOperation::release(IOperation* operation)
{
    auto* self = static_cast<DownloadOperation*>(operation);
    // Dropped from a slot of finished(): the emission is still on the stack.
    if (self->emitting_)
        self->deleteLater();
    else
        delete self;
}

void DownloadOperation::start()
{
    if (state_ != State::Created)
        return;
    state_ = State::Running;
    target_->seek(0);
    request_.channel->attachConsumer(this, "drain");
    TransferPool::instance().enqueue(request_);
}

void DownloadOperation::remove()
{
    request_.channel->cancel();
    if (state_ == State::Created || state_ == State::Running)
        state_ = State::Removed;
}

void DownloadOperation::drain()
{
    if (state_ != State::Running)
        return;
    const Channel::Batch batch = request_.channel->take();
    for (const QByteArray& chunk : batch.chunks) {
        if (target_->write(chunk) != chunk.size())
            return conclude(tr("cannot write into the target: %1").arg(target_->errorString()));
        written_ += chunk.size();
    }
    if (!flushTarget())
        return conclude(tr("cannot flush the target: %1").arg(target_->errorString()));
    if (!batch.ended)
        return;
    if (batch.error.isEmpty() && !cutTarget())
        return conclude(tr("cannot cut the target to %1 bytes: %2").arg(written_).arg(target_->errorString()));
    conclude(batch.error);
}

bool DownloadOperation::flushTarget()
{
    auto* file = qobject_cast<QFileDevice*>(target_);
    return !file || file->flush();
}

bool DownloadOperation::cutTarget()
{
    auto* file = qobject_cast<QFileDevice*>(target_);
    return !file || file->size() <= written_ || file->resize(written_);
}

void DownloadOperation::conclude(const QString& error)
{
    request_.channel->cancel();
    state_ = error.isEmpty() ? State::Complete : State::Failed;
    error_ = error;
    emitting_ = true;
    emit finished();
    emitting_ = false;
}

} // namespace ZRV::Cloud
