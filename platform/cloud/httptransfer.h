#pragma once

#include "transfer.h"

#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace ZRV::Cloud {

// Reads the object with one GET of container + "/" + path; a part of an object with a byte range
// ("Range: bytes=first-last"), which the server must answer with 206 and a matching Content-Range
// (416 counts as an object that ends before the range). Any other status, a connection failure, a
// stall longer than TransferTimeout or a body shorter or longer than announced fails the transfer.
// A size lookup is one HEAD, answered with 200 and the size as Content-Length.
class HttpTransfer : public Transfer
{
    Q_OBJECT

public:
    static constexpr int TransferTimeout = 30000; // ms without any data

    HttpTransfer(TransferRequest request, QNetworkAccessManager* network, QObject* parent);
    ~HttpTransfer() override;

protected:
    void onBegin() override;
    void resume() override;

private:
    void onReplyFinished();
    // True once the response's status and headers are acceptable; false while there is no response
    // yet or after the transfer has been finished because of them.
    bool acceptResponse();
    bool acceptContentRange();
    void complete();

    QNetworkAccessManager* const network_;
    QNetworkReply* reply_ = nullptr;
    QUrl url_;
    bool accepted_ = false;
    bool replyFinished_ = false;
    qint64 expected_ = -1; // body length (of a GET, for a HEAD), -1 when the server did not announce it
    qint64 received_ = 0;
};

} // namespace ZRV::Cloud
