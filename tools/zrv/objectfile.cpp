#include "objectfile.h"

#include "toolerror.h"

#include "cloud/cloudfactory.h"

#include <QDir>

using ZRV::Cloud::Api::CloudFactory;
using ZRV::Cloud::Api::ICloudApi;

ObjectFile::ObjectFile(ObjectLocation location, PrivateFile::Placement placement, Staging staging)
    : location_(std::move(location))
    , placement_(placement)
    , staging_(staging == Staged ? std::make_unique<PrivateFile>(
                   QDir(QDir::tempPath()).filePath(QStringLiteral("zrv-object")), PrivateFile::NoReplace)
                                 : nullptr)
{
}

ObjectFile::~ObjectFile()
{
    if (writer_)
        writer_->abort();
}

QString ObjectFile::occupied() const
{
    if (placement_ == PrivateFile::Replace)
        return {};
    const std::unique_ptr<ICloudApi> api(CloudFactory::create(location_.config()));
    if (api->objectSize(location_.bucket(), location_.key()) >= 0)
        return QStringLiteral("%1 exists already; it was left alone").arg(location_.toString());
    if (ObjectLocation::isMissing(api->errorString()))
        return {};
    return QStringLiteral("cannot write %1: %2").arg(location_.toString(), api->errorString());
}

bool ObjectFile::open(OpenMode mode)
{
    const QString refusal = occupied();
    if (!refusal.isEmpty()) {
        setErrorString(refusal);
        return false;
    }
    if (staging_) {
        if (!staging_->open(ReadWrite)) {
            setErrorString(staging_->errorString());
            return false;
        }
    } else {
        const std::unique_ptr<ICloudApi> api(CloudFactory::create(location_.config()));
        writer_ = api->createWriter(location_.bucket(), location_.key());
        if (!writer_) {
            setErrorString(QStringLiteral("cannot write %1: %2").arg(location_.toString(), api->errorString()));
            return false;
        }
    }
    opened_ = true;
    return QIODevice::open(mode | Unbuffered);
}

qint64 ObjectFile::size() const
{
    return staging_ ? staging_->size() : QIODevice::size();
}

bool ObjectFile::seek(qint64 pos)
{
    return staging_ ? QIODevice::seek(pos) && staging_->seek(pos) : QIODevice::seek(pos);
}

qint64 ObjectFile::readData(char* data, qint64 maxSize)
{
    return staging_ ? staging_->read(data, maxSize) : -1;
}

qint64 ObjectFile::writeData(const char* data, qint64 maxSize)
{
    QIODevice& to = staging_ ? static_cast<QIODevice&>(*staging_) : *writer_;
    const qint64 written = to.write(data, maxSize);
    if (written != maxSize)
        setErrorString(QStringLiteral("cannot write %1: %2").arg(location_.toString(), to.errorString()));
    return written;
}

void ObjectFile::commit()
{
    const auto fail = [&](const QString& why) {
        return ToolError(ToolError::Failure, QStringLiteral("cannot write %1: %2").arg(location_.toString(), why));
    };
    // Closing ends writing, as with a PrivateFile; what was written stays for commit().
    if (!opened_)
        throw fail(errorString());
    if (staging_) {
        const std::unique_ptr<ICloudApi> api(CloudFactory::create(location_.config()));
        writer_ = api->createWriter(location_.bucket(), location_.key());
        if (!writer_)
            throw fail(api->errorString());
        QByteArray block(1 << 20, Qt::Uninitialized);
        staging_->seek(0);
        for (qint64 count; (count = staging_->read(block.data(), block.size())) != 0;) {
            if (count < 0)
                throw fail(staging_->errorString());
            if (writer_->write(block.constData(), count) != count)
                throw fail(writer_->errorString());
        }
    }
    const QString refusal = occupied();
    if (!refusal.isEmpty())
        throw ToolError(ToolError::Failure, refusal);
    if (!writer_->commit())
        throw fail(writer_->errorString());
    writer_.reset();
    staging_.reset();
    opened_ = false;
    QIODevice::close();
}
