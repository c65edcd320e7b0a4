#include "httptransfer.h"

#include "core/zrvdebug.h"
#include "s3xml.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <limits>

namespace ZRV::Cloud {

HttpTransfer::HttpTransfer(TransferRequest request, QNetworkAccessManager* network, QObject* parent)
    : Transfer(std::move(request), parent)
    , network_(network)
    , silence_(new QTimer(this))
{
    silence_->setSingleShot(true);
    silence_->setInterval(this->request().provider.transferTimeout());
    connect(silence_, &QTimer::timeout, this, &HttpTransfer::onSilence);
}

HttpTransfer::~HttpTransfer()
{
    if (reply_) {
        reply_->disconnect(this);
        delete reply_;
    }
}

void HttpTransfer::onBegin()
{
    const TransferRequest& r = request();
    url_ = r.provider.objectUrl(r.container, r.path, r.query);
    if (!url_.isValid() || (url_.scheme() != QLatin1String("http") && url_.scheme() != QLatin1String("https")))
        return finish(tr("\"%1\" is not an http or https URL").arg(url_.toString()));
    if (r.provider.signer())
        bodyHash_ = S3Signer::payloadHash(r.body);
    sendAttempt();
}

void HttpTransfer::sendAttempt()
{
    const TransferRequest& r = request();
    accepted_ = false;
    failedStatus_ = 0;
    errorBody_.clear();
    replyFinished_ = false;
    expected_ = -1;
    received_ = 0;

    QNetworkRequest networkRequest(url_);
    S3Signer::Headers headers;
    // Set here rather than by Qt, so that the signed value is the one sent.
    QByteArray host = url_.host(QUrl::FullyEncoded).toLatin1();
    if (url_.port() != -1)
        host += ':' + QByteArray::number(url_.port());
    headers.append({"Host", host});
    const quint64 offset = r.offset + quint64(delivered_);
    const qint64 count = r.count < 0 ? -1 : r.count - delivered_;
    if (explainedStatus_ != 0) {
        headers.append({QByteArray("Range"), QByteArray("bytes=0-0")});
    } else if (r.goal == TransferRequest::Goal::Bytes && (offset != 0 || count >= 0)) {
        QByteArray range = "bytes=" + QByteArray::number(offset) + '-';
        if (count >= 0)
            range += QByteArray::number(offset + quint64(count) - 1);
        headers.append({"Range", range});
    }
    if (delivered_ > 0 && !etag_.isEmpty())
        headers.append({"If-Match", etag_});
    QByteArray method = r.method;
    if (method.isEmpty())
        method = isSizeLookup() && explainedStatus_ == 0 ? "HEAD" : "GET";
    if (r.goal == TransferRequest::Goal::Call) {
        headers.append({"Content-Length", QByteArray::number(r.body.size())});
        networkRequest.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/octet-stream"));
    }
    if (const auto& signer = r.provider.signer())
        headers.append(signer->sign(method, url_.path(QUrl::FullyEncoded).toLatin1(), r.query, headers, bodyHash_,
                                    QDateTime::currentDateTimeUtc()));
    for (const auto& header : headers)
        networkRequest.setRawHeader(header.first, header.second);
    // Qt would otherwise ask for compressed bodies and unpack them, which breaks byte ranges.
    networkRequest.setRawHeader("Accept-Encoding", "identity");
    // A signed request is valid for its own host only.
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                r.provider.signer() ? QNetworkRequest::ManualRedirectPolicy
                                                    : QNetworkRequest::NoLessSafeRedirectPolicy);

    if (r.goal == TransferRequest::Goal::Call)
        reply_ = network_->sendCustomRequest(networkRequest, method, r.body);
    else
        reply_ = method == "HEAD" ? network_->head(networkRequest) : network_->get(networkRequest);
    // Twice the chunk: the connection keeps receiving while one chunk is handed on.
    reply_->setReadBufferSize(2 * chunkSize());
    connect(reply_, &QNetworkReply::readyRead, this, &HttpTransfer::resume);
    connect(reply_, &QNetworkReply::finished, this, &HttpTransfer::onReplyFinished);
    connect(reply_, &QNetworkReply::metaDataChanged, this, &HttpTransfer::watchSilence);
    connect(reply_, &QNetworkReply::uploadProgress, this, &HttpTransfer::watchSilence);
    watchSilence();
}

void HttpTransfer::resume()
{
    if (isDone() || !reply_)
        return;
    if (!acceptResponse()) {
        if (failedStatus_ != 0 && errorBody_.size() < MaximumErrorBody)
            errorBody_ += reply_->read(MaximumErrorBody - errorBody_.size());
        else if (failedStatus_ != 0)
            reply_->readAll();
        if (!isDone() && !replyFinished_)
            watchSilence();
        return;
    }
    for (;;) {
        if (!hasRoom()) {
            // The consumer has not taken what it has: its silence, not the network's.
            silence_->stop();
            return;
        }
        const qint64 available = reply_->bytesAvailable();
        if (available == 0 || (available < chunkSize() && !replyFinished_))
            break;
        QByteArray chunk = reply_->read(qMin(available, chunkSize()));
        received_ += chunk.size();
        if (expected_ >= 0 && received_ > expected_)
            return finish(
                tr("the body from %1 is longer than announced (%2 bytes)").arg(url_.toString()).arg(expected_));
        delivered_ += chunk.size();
        deliver(std::move(chunk));
    }
    if (replyFinished_)
        return complete();
    watchSilence();
}

void HttpTransfer::onReplyFinished()
{
    if (isDone())
        return;
    replyFinished_ = true;
    silence_->stop();
    if (!acceptResponse()) {
        if (isDone())
            return;
        if (failedStatus_ == 0)
            return fail(tr("transfer from %1 failed: %2").arg(url_.toString(), reply_->errorString()),
                        reply_->error() != QNetworkReply::HostNotFoundError);
        errorBody_ += reply_->read(MaximumErrorBody - errorBody_.size());
        if (explainedStatus_ != 0) {
            const QString stored = S3Xml::error(errorBody_);
            const QString http = tr("HTTP status %1 to HEAD").arg(explainedStatus_);
            return finish(
                tr("%1 from %2").arg(stored.isEmpty() ? http : tr("%1 (%2)").arg(stored, http), url_.toString()));
        }
        const bool transient = failedStatus_ >= 500 || failedStatus_ == 429;
        if (isSizeLookup() && !transient && request().provider.kind() == Provider::Kind::S3) {
            // An answer to HEAD has no body to give the store's reason: a one-byte GET asks again.
            explainedStatus_ = failedStatus_;
            dropReply();
            return sendAttempt();
        }
        return fail(tr("%1 from %2").arg(statusError(failedStatus_), url_.toString()), transient);
    }
    if (reply_->error() != QNetworkReply::NoError)
        return fail(tr("transfer from %1 failed: %2").arg(url_.toString(), reply_->errorString()), true);
    resume();
}

bool HttpTransfer::acceptResponse()
{
    if (accepted_)
        return true;
    if (failedStatus_ != 0)
        return false;
    const QVariant statusAttribute = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusAttribute.isValid())
        return false;
    const int status = statusAttribute.toInt();
    const TransferRequest& r = request();
    const quint64 offset = r.offset + quint64(delivered_);
    const qint64 count = r.count < 0 ? -1 : r.count - delivered_;
    const bool ranged = r.goal == TransferRequest::Goal::Bytes && (offset != 0 || count >= 0);
    if (explainedStatus_ != 0) {
        failedStatus_ = status; // only its body matters
        return false;
    }
    // Nothing at or past the end of the object. Asked for a range of an empty object, some servers
    // answer 200 with an empty body instead of 416.
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    const bool emptyWhole = status == 200 && length.isValid() && length.toLongLong() == 0;
    if (ranged && delivered_ == 0 && (status == 416 || emptyWhole)) {
        finish();
        return false;
    }
    if (r.goal == TransferRequest::Goal::Call ? status / 100 != 2 : status != (ranged ? 206 : 200)) {
        failedStatus_ = status;
        return false;
    }
    if (ranged) {
        if (!acceptContentRange(offset, count))
            return false;
    } else {
        expected_ = length.isValid() ? length.toLongLong() : -1;
    }
    if (delivered_ == 0)
        etag_ = reply_->rawHeader("ETag");
    accepted_ = true;
    return true;
}

bool HttpTransfer::acceptContentRange(quint64 offset, qint64 count)
{
    // "bytes first-last/total", where total may be "*".
    static const QRegularExpression pattern(QStringLiteral("^bytes (\\d+)-(\\d+)/(\\d+|\\*)$"));
    const QString header = QString::fromLatin1(reply_->rawHeader("Content-Range"));
    const QRegularExpressionMatch match = pattern.match(header);
    bool firstOk = false;
    bool lastOk = false;
    const quint64 first = match.captured(1).toULongLong(&firstOk);
    const quint64 last = match.captured(2).toULongLong(&lastOk);
    const bool withinRequest = count < 0 || last < offset + quint64(count);
    if (!match.hasMatch() || !firstOk || !lastOk || first != offset || last < first || !withinRequest
        || last - first >= quint64(std::numeric_limits<qint64>::max())) {
        finish(tr("unexpected Content-Range \"%1\" from %2").arg(header, url_.toString()));
        return false;
    }
    expected_ = qint64(last - first + 1);
    return true;
}

void HttpTransfer::complete()
{
    if (isSizeLookup()) {
        if (expected_ < 0)
            return finish(tr("no Content-Length from %1").arg(url_.toString()));
        return finishWithSize(expected_);
    }
    if (expected_ >= 0 && received_ != expected_)
        return fail(tr("short body from %1: %2 of %3 bytes").arg(url_.toString()).arg(received_).arg(expected_), true);
    finish(QString(), -1, reply_->rawHeader("ETag"));
}

void HttpTransfer::watchSilence()
{
    if (!isDone() && !replyFinished_)
        silence_->start();
}

void HttpTransfer::onSilence()
{
    if (isDone() || !reply_)
        return;
    fail(tr("no data from %1 for %2 ms").arg(url_.toString()).arg(silence_->interval()), true);
}

void HttpTransfer::fail(const QString& error, bool transient)
{
    dropReply();
    const TransferRequest& r = request();
    if (!transient || attempt_ >= r.provider.retryLimit())
        return finish(attempt_ == 0 ? error : tr("%1 (after %2 attempts)").arg(error, QString::number(attempt_ + 1)));
    ++attempt_;
    const qint64 ceiling = qMin<qint64>(MaximumRetryDelay, qint64(r.provider.retryDelay()) << qMin(attempt_ - 1, 16));
    // Full jitter in the upper half: clients that failed together do not return together.
    const int delay = int(ceiling / 2 + QRandomGenerator::global()->bounded(quint32(ceiling / 2 + 1)));
    ZrvDebug("CLOUD").infoH() << "retrying in" << delay << "ms:" << error;
    QTimer::singleShot(delay, this, [this] {
        if (!isDone() && !request().channel->isCancelled())
            sendAttempt();
    });
}

void HttpTransfer::dropReply()
{
    silence_->stop();
    if (!reply_)
        return;
    reply_->disconnect(this);
    reply_->abort();
    reply_->deleteLater();
    reply_ = nullptr;
}

QString HttpTransfer::statusError(int status) const
{
    const QString reason =
        reply_ ? reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString() : QString();
    const QString http = tr("HTTP status %1 %2").arg(status).arg(reason).trimmed();
    const QString stored = S3Xml::error(errorBody_);
    return stored.isEmpty() ? http : tr("%1 (%2)").arg(stored, http);
}

} // namespace ZRV::Cloud
