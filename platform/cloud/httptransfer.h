#pragma once

#include "transfer.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace ZRV::Cloud {

// Runs one request over HTTP for the "http" and "s3" providers; "s3" requests are signed.
// Bytes: a GET of the object; a part of an object with a byte range ("Range: bytes=first-last"),
// which the server must answer with 206 and a matching Content-Range (416 counts as an object that
// ends before the range). Size: one HEAD, answered with 200 and the size as Content-Length.
// Call: the request's method, query and body, answered with any 2xx.
// Any other status, a connection failure, a body shorter or longer than announced or network
// silence longer than the provider's transfer timeout fails the attempt. Silence counts only while
// the transfer waits for the network: a consumer that leaves the channel full pauses the clock.
// A failed attempt is retried, up to the provider's retry limit, after an exponential backoff with
// jitter when the failure may pass: 5xx, 429, silence, a connection refused, reset or cut short.
// A download resumes from the first byte not yet delivered, on the condition (If-Match) that the
// object is still the one it began with. The error names the store's own code and message when its
// answer carries them; for a failed S3 HEAD, which has no body, a GET of one byte fetches them.
class HttpTransfer : public Transfer
{
    Q_OBJECT

public:
    static constexpr int MaximumRetryDelay = 20000; // ms
    // What of a failed answer's body is kept for its error message.
    static constexpr int MaximumErrorBody = 64 * 1024;

    HttpTransfer(TransferRequest request, QNetworkAccessManager* network, QObject* parent = nullptr);
    ~HttpTransfer() override;

protected:
    void onBegin() override;
    void resume() override;

private:
    void sendAttempt();
    void onReplyFinished();
    // True once the response's status and headers are acceptable; false while there is no response
    // yet, for a failed status (its body is then collected) or after the transfer has ended.
    bool acceptResponse();
    bool acceptContentRange(quint64 offset, qint64 count);
    void complete();
    // Restarts the silence clock while the transfer waits for the network.
    void watchSilence();
    void onSilence();
    // Ends the attempt; retries it when `transient` and the retry limit allows.
    void fail(const QString& error, bool transient);
    void dropReply();
    // "Code: Message" of a store's XML error body, else "HTTP status N reason".
    QString statusError(int status) const;

    QNetworkAccessManager* const network_;
    QNetworkReply* reply_ = nullptr;
    QUrl url_;
    QTimer* const silence_;
    QByteArray bodyHash_;
    int attempt_ = 0;
    bool accepted_ = false;
    int failedStatus_ = 0; // of the current attempt's answer, while its error body arrives
    QByteArray errorBody_;
    int explainedStatus_ = 0; // of a failed HEAD whose reason a GET asks for
    bool replyFinished_ = false;
    qint64 expected_ = -1; // body length of the attempt (of a GET, for a HEAD), -1 when not announced
    qint64 received_ = 0; // of the attempt
    qint64 delivered_ = 0; // over all attempts
    QByteArray etag_;
};

} // namespace ZRV::Cloud
