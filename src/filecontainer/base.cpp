#include "filecontainer/base.h"

#include "core/exception/invaliddata.h"
#include "core/zrvdebug.h"
#include "filecontainer/version1/encryptioninfo.h"
#include "filecontainer/version1/header.h"
#include "stream/exception/erroroperation.h"

namespace ZRV::Stream::FileContainer {

Base::Base(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent)
    : IStreamRead(std::move(source), parent)
    , password_(password)
{
}

Base::~Base() = default;

bool Base::isSequential() const
{
    return true;
}

bool Base::open(OpenMode mode)
{
    if (!IStreamRead::open(mode)) {
        if (source_)
            setErrorString(source_->errorString());
        return false;
    }
    try {
        if (init())
            return true;
    } catch (...) {
        setOpenMode(NotOpen);
        throw;
    }
    setOpenMode(NotOpen);
    return false;
}

qint64 Base::size() const
{
    return 0;
}

bool Base::reset()
{
    return true;
}

bool Base::useCompression() const
{
    return header() && header()->compressionInfo();
}

bool Base::useEncryption() const
{
    const V1::EncryptionInfo* info = header() ? header()->encryptionInfo() : nullptr;
    return info && info->algorythm() != ZRV::Core::Encryption::NoEncryption;
}

void Base::setWorkerCount(int count)
{
    workerCount_ = qMax(count, 1);
}

int Base::workerCount() const
{
    return workerCount_;
}

bool Base::openStage(QIODevice& stage, OpenMode mode)
{
    if (stage.open(mode))
        return true;
    setErrorString(tr("Cannot open %1: %2").arg(stage.metaObject()->className(), stage.errorString()));
    return false;
}

qint64 Base::readStage(QIODevice& stage, char* data, qint64 maxSize)
{
    qint64 count = 0;
    try {
        count = stage.read(data, maxSize);
    } catch (const ZRV::Exception::Base& e) {
        setErrorString(e.message());
        throw;
    }
    if (count < 0) {
        setErrorString(stage.errorString());
        throw ZRV::Stream::Exception::ErrorOperation(stage.errorString());
    }
    return count;
}

bool Base::readingHead(const std::function<bool()>& read)
{
    try {
        return read();
    } catch (const ZRV::Exception::InvalidData& e) {
        ZrvDebug("TXK").error() << e.what();
        setErrorString(e.message());
    } catch (...) {
        ZrvDebug("TXK").error() << "Corrupted conteiner header";
        setErrorString(tr("Corrupted conteiner header"));
    }
    return false;
}

bool Base::refuse(const QString& message)
{
    ZrvDebug("TXK").error() << message.toUtf8().constData();
    setErrorString(message);
    return false;
}

bool Base::checkPosition(quint32 expected)
{
    ZrvDebug("TXK").debug() << "Stream position after header read:" << source_->pos() << "/" << expected;
    if (source_->isSequential() || source_->pos() == expected)
        return true;
    const bool moved = source_->seek(expected);
    ZrvDebug("TXK").debug() << "Set/correct stream position:" << source_->pos();
    return moved || refuse(tr("Cannot move the container source to position %1").arg(expected));
}

} // namespace ZRV::Stream::FileContainer
