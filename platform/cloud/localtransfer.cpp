#include "localtransfer.h"

#include "localstore.h"

namespace ZRV::Cloud {

void LocalTransfer::onBegin()
{
    QString error;
    const QString fileName = LocalStore(request().container).filePath(request().path, &error);
    if (fileName.isEmpty())
        return finish(error);

    file_.setFileName(fileName);
    if (!file_.open(QIODevice::ReadOnly))
        return finish(tr("cannot open object \"%1\": %2").arg(fileName, file_.errorString()));
    if (isSizeLookup())
        return finishWithSize(file_.size());
    if (!file_.seek(qint64(request().offset)))
        return finish(tr("cannot seek in object \"%1\": %2").arg(fileName, file_.errorString()));
    remaining_ = request().count;
    resume();
}

void LocalTransfer::resume()
{
    for (;;) {
        if (remaining_ == 0)
            return finish();
        if (!hasRoom())
            return;
        const qint64 wanted = remaining_ < 0 ? chunkSize() : qMin(chunkSize(), remaining_);
        QByteArray chunk(int(wanted), Qt::Uninitialized);
        const qint64 got = file_.read(chunk.data(), wanted);
        if (got < 0)
            return finish(tr("cannot read object \"%1\": %2").arg(file_.fileName(), file_.errorString()));
        if (got == 0)
            return finish();
        chunk.resize(int(got));
        if (remaining_ > 0)
            remaining_ -= got;
        deliver(std::move(chunk));
    }
}

} // namespace ZRV::Cloud
