#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

namespace ZRV::Cloud {

// Signs S3 requests with Signature Version 4 (HMAC-SHA-256) in the Authorization header. The
// payload is always hashed for real: the store then rejects a body damaged on the way.
class S3Signer
{
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    S3Signer(QByteArray accessKeyId, QByteArray secretAccessKey, QByteArray sessionToken, QByteArray region);

    // Lower-case hex SHA-256 of `bytes`, as x-amz-content-sha256 carries it.
    static QByteArray payloadHash(const QByteArray& bytes);
    // RFC 3986 percent-encoding of everything but A-Z a-z 0-9 - _ . ~ (and '/' when `keepSlash`).
    static QByteArray uriEncode(const QByteArray& text, bool keepSlash);

    // The headers to add to a request: x-amz-date, x-amz-content-sha256, x-amz-security-token
    // (with a session token) and Authorization. `path` is the URL's path as sent, already encoded,
    // `query` the decoded query items, `headers` every header to sign (Host at least).
    Headers sign(const QByteArray& method, const QByteArray& path, const QList<QPair<QString, QString>>& query,
                 Headers headers, const QByteArray& payloadHash, const QDateTime& now) const;

    // The steps of sign(), for tests against published examples. `headers` must hold the x-amz-*
    // headers already.
    static QByteArray canonicalRequest(const QByteArray& method, const QByteArray& path,
                                       const QList<QPair<QString, QString>>& query, const Headers& headers,
                                       const QByteArray& payloadHash);
    QByteArray stringToSign(const QByteArray& canonicalRequest, const QDateTime& now) const;
    QByteArray signature(const QByteArray& stringToSign, const QDateTime& now) const;

private:
    // "20130524/us-east-1/s3/aws4_request"
    QByteArray scope(const QDateTime& now) const;

    QByteArray accessKeyId_;
    QByteArray secretAccessKey_;
    QByteArray sessionToken_;
    QByteArray region_;
};

} // namespace ZRV::Cloud
