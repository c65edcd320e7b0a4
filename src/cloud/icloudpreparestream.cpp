#include "cloud/icloudpreparestream.h"

#include "core/utility/preallocate.h"
#include "core/zrvdebug.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <thread>

namespace ZRV::Stream::Cloud {

ICloudPrepareStream::ICloudPrepareStream(const QMap<QString, QVariant>& config, const QString& path,
                                         unsigned long long size, const QString& temporaryFileTemplate, QObject* parent)
    : ICloudStream(config, path, size, parent)
    , temporaryFileTemplate_(temporaryFileTemplate)
{
    connect(this, &QIODevice::readyRead, this, &ICloudPrepareStream::onReadyReadNotification);
}

bool ICloudPrepareStream::seek(qint64 pos)
{
    return readyToRead() && ICloudStream::seek(pos);
}

bool ICloudPrepareStream::atEnd() const
{
    return readyToRead() && ICloudStream::atEnd();
}

bool ICloudPrepareStream::reset()
{
    return readyToRead() && ICloudStream::reset();
}

bool ICloudPrepareStream::waitForReadyRead(int msecs)
{
    if (!open_) {
        ZrvDebug("TXK").warning() << "ICloudPrepareStream::waitForReadyRead() is not allowed. stream not open";
        return false;
    }
    if (ready_ || msecs == 0)
        return ready_;
    if (QThread::currentThread() == thread())
        return waitInOwnThread(msecs);
    QElapsedTimer timer;
    timer.start();
    if (ready_)
        return true;
    for (;;) {
        if (msecs != -1 && msecs <= timer.elapsed())
            return false;
        if (ready_)
            return true;
        if (!open_)
            return false;
        // Leaves the core to the stream's thread; well below the 1 ms a caller may lose.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

bool ICloudPrepareStream::waitInOwnThread(int msecs)
{
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (msecs != -1)
        timeout.start(msecs);
    waitLoop_ = &loop;
    if (!ready_ && open_)
        loop.exec();
    waitLoop_ = nullptr;
    return ready_;
}

bool ICloudPrepareStream::readyToRead() const
{
    return ready_;
}

bool ICloudPrepareStream::openForDownload(OpenMode mode)
{
    if (!ICloudStream::open(mode))
        return false;
    open_ = true;
    return true;
}

void ICloudPrepareStream::closeAfterFailure()
{
    setOpenMode(NotOpen);
    open_ = false;
    if (waitLoop_)
        waitLoop_->quit();
}

std::unique_ptr<QTemporaryFile> ICloudPrepareStream::makeDownloadFile(unsigned long long size) const
{
    auto file = temporaryFileTemplate_.isEmpty() ? std::make_unique<QTemporaryFile>()
                                                 : std::make_unique<QTemporaryFile>(temporaryFileTemplate_);
    if (!file->open())
        return nullptr;
    if (!ZRV::Utility::preallocateFile(file->handle(), size)) {
        ZrvDebug("TXK").error() << "on preallocate file";
        return nullptr;
    }
    return file;
}

void ICloudPrepareStream::onReadyReadNotification()
{
    ready_ = true;
    if (waitLoop_)
        waitLoop_->quit();
}

int subtractFromTimeout(int timeout, int elapsed)
{
    if (timeout == -1)
        return -1;
    return int(qMax<qint64>(0, qint64(timeout) - elapsed));
}

} // namespace ZRV::Stream::Cloud
