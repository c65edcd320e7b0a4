#include "cloud/cloudpreparemultistream.h"

#include "cloud/operationmanager.h"
#include "core/zrvdebug.h"

#include <QSet>
#include <QTemporaryFile>

namespace ZRV::Stream::Cloud {

using ZRV::Cloud::IOperation;
using PartRange = Extensions::Range<unsigned long long>;

class CloudPrepareMultiStream::PrivateObject
{
public:
    static const char* const PropertyIdx;

    bool addOperation(const QMap<QString, QVariant>& config, const QString& path, int index, const PartRange& range,
                      QIODevice* device);
    IOperation* operation(int index) const;
    void removeOperation(int index);

    QMap<int, QSharedPointer<IOperation>> operations;
    QSet<int> finished; // parts that arrived; never cleared
};

const char* const CloudPrepareMultiStream::PrivateObject::PropertyIdx = "property_idx";

bool CloudPrepareMultiStream::PrivateObject::addOperation(const QMap<QString, QVariant>& config, const QString& path,
                                                          int index, const PartRange& range, QIODevice* device)
{
    const QSharedPointer<IOperation> created = ZRV::Cloud::OperationManager::instance().downloadBlob2Stream(
        config, path, range.lower(), range.upper() - range.lower(), device);
    if (!created)
        return false;
    created->setProperty(PropertyIdx, QVariant(index));
    // An operation of an earlier open must stop writing into the part file before the new one starts.
    removeOperation(index);
    operations.insert(index, created);
    created->start();
    return true;
}

IOperation* CloudPrepareMultiStream::PrivateObject::operation(int index) const
{
    return operations.value(index).data();
}

void CloudPrepareMultiStream::PrivateObject::removeOperation(int index)
{
    const QSharedPointer<IOperation> removed = operations.take(index);
    if (removed)
        removed->remove();
}

CloudPrepareMultiStream::CloudPrepareMultiStream(const QMap<QString, QVariant>& config, const QString& path,
                                                 unsigned long long size, const QString& temporaryFileTemplate,
                                                 unsigned long long partSize, QObject* parent)
    : ICloudPrepareStream(config, path, size, temporaryFileTemplate, parent)
    , d_(std::make_unique<PrivateObject>())
    , partSize_(choosePartSize(size, partSize))
{
    ZrvDebug("TXK").debug() << "CloudPrepareMultiStream: set part size:" << partSize_;
    const unsigned long long count = size <= partSize_ ? 1 : size / partSize_ + (size % partSize_ ? 1 : 0);
    for (unsigned long long index = 0; index < count; ++index) {
        const unsigned long long lower = index * partSize_;
        // The last part ends at the size itself when the size is not a multiple of the part size.
        const unsigned long long upper = qMin((index + 1) * partSize_ - 1, size);
        parts_.emplace_back(PartRange(lower, upper), nullptr);
    }
}

CloudPrepareMultiStream::~CloudPrepareMultiStream()
{
    for (const int index : d_->operations.keys())
        d_->removeOperation(index);
}

unsigned long long CloudPrepareMultiStream::choosePartSize(unsigned long long size, unsigned long long partSize)
{
    if (partSize == 0) {
        const unsigned long long threads = unsigned(ZRV::Cloud::OperationManager::instance().threadCount());
        if (size / threads < MinimumPartSize)
            return MinimumPartSize;
        // One short last part takes the remainder of the division.
        const unsigned long long parts = size % threads ? threads - 1 : threads;
        return size / parts;
    }
    if (partSize < MinimumPartSize) {
        ZrvDebug("TXK").warning() << "CloudPrepareMultiStream: set default part size:" << MinimumPartSize;
        return MinimumPartSize;
    }
    return partSize;
}

bool CloudPrepareMultiStream::open(OpenMode mode)
{
    if (!openForDownload(mode))
        return false;
    for (int index = 0; index < int(parts_.size()); ++index) {
        auto& [range, device] = parts_[index];
        if (!device) {
            device = makeDownloadFile(range.upper() - range.lower());
            if (!device) {
                closeAfterFailure();
                return false;
            }
        } else if (d_->finished.contains(index)) {
            continue;
        }
        if (!d_->addOperation(config_, path_, index, range, device.get()) || !d_->operation(index)) {
            closeAfterFailure();
            return false;
        }
        connect(d_->operation(index), &IOperation::finished, this, &CloudPrepareMultiStream::onOperationFinished);
    }
    return true;
}

void CloudPrepareMultiStream::onOperationFinished()
{
    auto* operation = qobject_cast<IOperation*>(sender());
    if (!operation)
        return;
    const int index = operation->property(PrivateObject::PropertyIdx).toInt();
    if (operation->isComplite() && !operation->isError()) {
        d_->finished.insert(index);
    } else {
        ZrvDebug("TXK").error() << "CloudPrepareMultiStream: on load prepare stream object";
        closeAfterFailure();
    }
    d_->removeOperation(index);
    if (d_->operations.isEmpty() && isOpen())
        emit readyRead();
}

qint64 CloudPrepareMultiStream::readData(char* data, qint64 maxSize)
{
    // QIODevice only calls readData once its buffer is used up, so position_ is where the caller is.
    if (!readyToRead() || maxSize <= 0)
        return 0;
    const unsigned long long wanted = qMin<unsigned long long>(quint64(maxSize), remaining());
    unsigned long long done = 0;
    QString failure;
    while (done < wanted) {
        const unsigned long long at = position_ + done;
        const int index = int(qMin<unsigned long long>(at / partSize_, unsigned(parts_.size() - 1)));
        const auto& [range, device] = parts_.at(index);
        const qint64 got = device->seek(qint64(at - range.lower()))
            ? device->read(data + done, qint64(qMin(wanted - done, range.upper() - at + 1)))
            : -1;
        if (got <= 0) {
            failure = got < 0 ? tr("cannot read part %1 of the object: %2").arg(index).arg(device->errorString())
                              : tr("part %1 of the object is shorter than its range").arg(index);
            break;
        }
        done += quint64(got);
    }
    if (done == 0 && wanted > 0) {
        setErrorString(failure);
        return -1;
    }
    position_ += done;
    return qint64(done);
}

} // namespace ZRV::Stream::Cloud
