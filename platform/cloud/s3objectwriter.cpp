#include "s3objectwriter.h"

#include "channel.h"
#include "cloudapi.h"
#include "s3xml.h"
#include "transferpool.h"

namespace ZRV::Cloud {

S3ObjectWriter::S3ObjectWriter(const Provider& provider, const QString& bucket, const QString& key)
    : provider_(provider)
    , bucket_(bucket)
    , key_(key)
{
    open(WriteOnly | Unbuffered);
}

S3ObjectWriter::~S3ObjectWriter()
{
    if (isOpen())
        abort();
}

qint64 S3ObjectWriter::writeData(const char* data, qint64 size)
{
    qint64 taken = 0;
    while (taken < size) {
        if (buffer_.isEmpty())
            buffer_.reserve(PartSize);
        const int room = PartSize - buffer_.size();
        const int step = int(qMin<qint64>(room, size - taken));
        buffer_.append(data + taken, step);
        taken += step;
        if (buffer_.size() == PartSize && !sendPart(std::exchange(buffer_, QByteArray())))
            return -1;
    }
    return size;
}

bool S3ObjectWriter::sendPart(QByteArray bytes)
{
    if (uploadId_.isEmpty()) {
        QByteArray answer;
        if (!call("POST", {{"uploads", ""}}, QByteArray(), "starting the upload", &answer))
            return false;
        uploadId_ = S3Xml::text(answer, QStringLiteral("UploadId"));
        if (uploadId_.isEmpty())
            return fail(tr("no upload id in the answer for \"%1\"").arg(key_));
    }
    while (inFlight_.size() >= size_t(PartsInFlight))
        if (!awaitPart())
            return false;
    const int number = ++partsSent_;
    TransferRequest request = Api::CloudApi::call(
        provider_, bucket_, key_, "PUT", {{"partNumber", QString::number(number)}, {"uploadId", uploadId_}}, bytes);
    inFlight_.push_back({number, request.channel});
    TransferPool::instance().runNow(std::move(request));
    return true;
}

bool S3ObjectWriter::awaitPart()
{
    const Part part = inFlight_.front();
    inFlight_.pop_front();
    const Channel::Batch batch = part.channel->waitForEnd();
    if (!batch.error.isEmpty())
        return fail(tr("uploading part %1 of \"%2\" failed: %3").arg(part.number).arg(key_, batch.error));
    if (batch.etag.isEmpty())
        return fail(tr("no ETag for part %1 of \"%2\"").arg(part.number).arg(key_));
    etags_.resize(qMax(etags_.size(), part.number));
    etags_[part.number - 1] = batch.etag;
    return true;
}

bool S3ObjectWriter::commit()
{
    if (!isOpen())
        return false;
    if (uploadId_.isEmpty()) {
        if (!call("PUT", {}, std::exchange(buffer_, QByteArray()), "storing the object"))
            return false;
        close();
        return true;
    }
    if (!buffer_.isEmpty() && !sendPart(std::exchange(buffer_, QByteArray())))
        return false;
    while (!inFlight_.empty())
        if (!awaitPart())
            return false;
    // The answer may be an error although its status is 200.
    QByteArray answer;
    if (!call("POST", {{"uploadId", uploadId_}}, S3Xml::completeMultipartUpload(etags_), "completing the upload",
              &answer))
        return false;
    const QString error = S3Xml::error(answer);
    if (!error.isEmpty())
        return fail(tr("completing the upload of \"%1\" failed: %2").arg(key_, error));
    uploadId_.clear();
    close();
    return true;
}

void S3ObjectWriter::abort()
{
    // Parts still uploading could land after the abort and stay behind: let them end first.
    for (const Part& part : inFlight_)
        part.channel->waitForEnd();
    inFlight_.clear();
    buffer_ = QByteArray();
    if (!uploadId_.isEmpty()) {
        const QString id = std::exchange(uploadId_, QString());
        QString ignored;
        Api::CloudApi::run(Api::CloudApi::call(provider_, bucket_, key_, "DELETE", {{"uploadId", id}}),
                           "aborting the upload", &ignored);
    }
    close();
}

bool S3ObjectWriter::fail(const QString& error)
{
    abort();
    setErrorString(error);
    return false;
}

bool S3ObjectWriter::call(const QByteArray& method, const QList<QPair<QString, QString>>& query, const QByteArray& body,
                          const char* what, QByteArray* answer)
{
    QString error;
    const std::optional<Channel::Batch> batch =
        Api::CloudApi::run(Api::CloudApi::call(provider_, bucket_, key_, method, query, body), what, &error);
    if (!batch)
        return fail(tr("%1 \"%2\" failed: %3").arg(QLatin1String(what), key_, error));
    if (answer)
        for (const QByteArray& chunk : batch->chunks)
            *answer += chunk;
    return true;
}

} // namespace ZRV::Cloud
