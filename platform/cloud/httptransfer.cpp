#include "httptransfer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <limits>

namespace ZRV::Cloud {

HttpTransfer::HttpTransfer(TransferRequest request, QNetworkAccessManager* network, QObject* parent)
    : Transfer(std::move(request), parent)
    , network_(network)
{
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
    url_ = QUrl(request().container + QLatin1Char('/') + request().path);
    if (!url_.isValid() || (url_.scheme() != QLatin1String("http") && url_.scheme() != QLatin1String("https")))
        return finish(tr("\"%1\" is not an http or https URL").arg(url_.toString()));

    QNetworkRequest networkRequest(url_);
    if (request().isRanged()) {
        QByteArray range = "bytes=" + QByteArray::number(request().offset) + '-';
        if (request().count >= 0)
            range += QByteArray::number(request().offset + quint64(request().count) - 1);
        networkRequest.setRawHeader("Range", range);
    }
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    networkRequest.setTransferTimeout(TransferTimeout);

    reply_ = isSizeLookup() ? network_->head(networkRequest) : network_->get(networkRequest);
    // Twice the chunk: the connection keeps receiving while one chunk is handed on.
    reply_->setReadBufferSize(2 * chunkSize());
    connect(reply_, &QNetworkReply::readyRead, this, &HttpTransfer::resume);
    connect(reply_, &QNetworkReply::finished, this, &HttpTransfer::onReplyFinished);
}

void HttpTransfer::resume()
{
    if (isDone() || !acceptResponse())
        return;
    while (hasRoom()) {
        const qint64 available = reply_->bytesAvailable();
        if (available == 0 || (available < chunkSize() && !replyFinished_))
            break;
        QByteArray chunk = reply_->read(qMin(available, chunkSize()));
        received_ += chunk.size();
        if (expected_ >= 0 && received_ > expected_)
            return finish(
                tr("the body from %1 is longer than announced (%2 bytes)").arg(url_.toString()).arg(expected_));
        deliver(std::move(chunk));
    }
    if (replyFinished_ && reply_->bytesAvailable() == 0)
        complete();
}

void HttpTransfer::onReplyFinished()
{
    if (isDone())
        return;
    replyFinished_ = true;
    if (!acceptResponse()) {
        if (!isDone())
            finish(tr("transfer from %1 failed: %2").arg(url_.toString(), reply_->errorString()));
        return;
    }
    if (reply_->error() != QNetworkReply::NoError)
        return finish(tr("transfer from %1 failed: %2").arg(url_.toString(), reply_->errorString()));
    resume();
}

bool HttpTransfer::acceptResponse()
{
    if (accepted_)
        return true;
    const QVariant statusAttribute = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusAttribute.isValid())
        return false;
    const int status = statusAttribute.toInt();
    // Nothing at or past the end of the object. Asked for a range of an empty object, some servers
    // answer 200 with an empty body instead of 416.
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    const bool emptyWhole = status == 200 && length.isValid() && length.toLongLong() == 0;
    if (request().isRanged() && (status == 416 || emptyWhole)) {
        finish();
        return false;
    }
    if (status != (request().isRanged() ? 206 : 200)) {
        const QString reason = reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        finish(tr("HTTP status %1 %2 from %3").arg(status).arg(reason, url_.toString()));
        return false;
    }
    if (request().isRanged()) {
        if (!acceptContentRange())
            return false;
    } else {
        expected_ = length.isValid() ? length.toLongLong() : -1;
    }
    accepted_ = true;
    return true;
}

bool HttpTransfer::acceptContentRange()
{
    // "bytes first-last/total", where total may be "*".
    static const QRegularExpression pattern(QStringLiteral("^bytes (\\d+)-(\\d+)/(\\d+|\\*)$"));
    const QString header = QString::fromLatin1(reply_->rawHeader("Content-Range"));
    const QRegularExpressionMatch match = pattern.match(header);
    bool firstOk = false;
    bool lastOk = false;
    const quint64 first = match.captured(1).toULongLong(&firstOk);
    const quint64 last = match.captured(2).toULongLong(&lastOk);
    const bool withinRequest = request().count < 0 || last < request().offset + quint64(request().count);
    if (!match.hasMatch() || !firstOk || !lastOk || first != request().offset || last < first || !withinRequest
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
        return finish(tr("short body from %1: %2 of %3 bytes").arg(url_.toString()).arg(received_).arg(expected_));
    finish();
}

} // namespace ZRV::Cloud
