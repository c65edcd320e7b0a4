#include "cloud/cloudpreparesimplestream.h"

#include "cloud/operationmanager.h"
#include "core/zrvdebug.h"

#include <QTemporaryFile>

namespace ZRV::Stream::Cloud {

struct CloudPrepareSimpleStream::PrivateObject
{
    QSharedPointer<ZRV::Cloud::IOperation> operation;
};

CloudPrepareSimpleStream::CloudPrepareSimpleStream(const QMap<QString, QVariant>& config, const QString& path,
                                                   unsigned long long size, const QString& temporaryFileTemplate,
                                                   QObject* parent)
    : ICloudPrepareStream(config, path, size, temporaryFileTemplate, parent)
    , d_(std::make_unique<PrivateObject>())
{
}

CloudPrepareSimpleStream::~CloudPrepareSimpleStream()
{
    if (d_->operation)
        d_->operation->remove();
}

bool CloudPrepareSimpleStream::open(OpenMode mode)
{
    if (file_)
        return false;
    file_ = makeDownloadFile(size_);
    if (!file_)
        return false;
    if (!openForDownload(mode))
        return false;
    d_->operation = ZRV::Cloud::OperationManager::instance().download2Stream(config_, path_, file_.get());
    if (!d_->operation)
        return false;
    connect(d_->operation.data(), &ZRV::Cloud::IOperation::finished, this,
            &CloudPrepareSimpleStream::onOperationFinished);
    d_->operation->start();
    return true;
}

void CloudPrepareSimpleStream::close()
{
    if (file_)
        file_->close();
}

qint64 CloudPrepareSimpleStream::pos() const
{
    // QIODevice's position: the file runs ahead by what sits in QIODevice's buffer.
    return isServing() ? QIODevice::pos() : 0;
}

qint64 CloudPrepareSimpleStream::size() const
{
    return isServing() ? file_->size() : 0;
}

bool CloudPrepareSimpleStream::seek(qint64 pos)
{
    return isServing() && file_->seek(pos) && QIODevice::seek(pos);
}

bool CloudPrepareSimpleStream::atEnd() const
{
    return isServing() && (!file_->isOpen() || QIODevice::pos() >= file_->size());
}

bool CloudPrepareSimpleStream::reset()
{
    return CloudPrepareSimpleStream::seek(0);
}

qint64 CloudPrepareSimpleStream::readData(char* data, qint64 maxSize)
{
    return isServing() ? file_->read(data, maxSize) : 0;
}

void CloudPrepareSimpleStream::onOperationFinished()
{
    const QSharedPointer<ZRV::Cloud::IOperation> operation = d_->operation;
    if (!operation)
        return;
    if (operation->isComplite() && !operation->isError()) {
        file_->reset();
        emit readyRead();
    } else {
        ZrvDebug("TXK").error() << "on load data for stream:" << operation->errorMessage();
        file_.reset();
        closeAfterFailure();
    }
    operation->remove();
    d_->operation.reset();
}

bool CloudPrepareSimpleStream::isServing() const
{
    return readyToRead() && file_;
}

} // namespace ZRV::Stream::Cloud
