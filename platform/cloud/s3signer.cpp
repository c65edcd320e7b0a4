#include "s3signer.h"

#include <algorithm>
#include <cryptopp/hmac.h>
#include <cryptopp/sha.h>

namespace ZRV::Cloud {

namespace {

const CryptoPP::byte* cryptoBytes(const char* data)
{
    return reinterpret_cast<const CryptoPP::byte*>(data);
}

CryptoPP::byte* cryptoBytes(char* data)
{
    return reinterpret_cast<CryptoPP::byte*>(data);
}

QByteArray hmac(const QByteArray& key, const QByteArray& message)
{
    CryptoPP::HMAC<CryptoPP::SHA256> mac(cryptoBytes(key.constData()), size_t(key.size()));
    QByteArray digest(int(mac.DigestSize()), Qt::Uninitialized);
    mac.CalculateDigest(cryptoBytes(digest.data()), cryptoBytes(message.constData()), size_t(message.size()));
    return digest;
}

QByteArray dateTime(const QDateTime& now)
{
    return now.toUTC().toString(QStringLiteral("yyyyMMddTHHmmssZ")).toLatin1();
}

// Names in lower case, values trimmed with inner runs of spaces made one, sorted by name.
S3Signer::Headers canonicalHeaders(const S3Signer::Headers& headers)
{
    S3Signer::Headers sorted;
    for (const auto& header : headers)
        sorted.append({header.first.toLower(), header.second.simplified()});
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

QByteArray signedHeaders(const S3Signer::Headers& sorted)
{
    QByteArray names;
    for (const auto& header : sorted)
        names += (names.isEmpty() ? "" : ";") + header.first;
    return names;
}

} // namespace

S3Signer::S3Signer(QByteArray accessKeyId, QByteArray secretAccessKey, QByteArray sessionToken, QByteArray region)
    : accessKeyId_(std::move(accessKeyId))
    , secretAccessKey_(std::move(secretAccessKey))
    , sessionToken_(std::move(sessionToken))
    , region_(std::move(region))
{
}

QByteArray S3Signer::payloadHash(const QByteArray& bytes)
{
    CryptoPP::SHA256 hash;
    QByteArray digest(int(hash.DigestSize()), Qt::Uninitialized);
    hash.CalculateDigest(cryptoBytes(digest.data()), cryptoBytes(bytes.constData()), size_t(bytes.size()));
    return digest.toHex();
}

QByteArray S3Signer::uriEncode(const QByteArray& text, bool keepSlash)
{
    return text.toPercentEncoding(keepSlash ? QByteArray("/~") : QByteArray("~"));
}

S3Signer::Headers S3Signer::sign(const QByteArray& method, const QByteArray& path,
                                 const QList<QPair<QString, QString>>& query, Headers headers,
                                 const QByteArray& payloadHash, const QDateTime& now) const
{
    Headers added{{"x-amz-date", dateTime(now)}, {"x-amz-content-sha256", payloadHash}};
    if (!sessionToken_.isEmpty())
        added.append({"x-amz-security-token", sessionToken_});
    headers.append(added);

    const QByteArray request = canonicalRequest(method, path, query, headers, payloadHash);
    added.append({"Authorization",
                  "AWS4-HMAC-SHA256 Credential=" + accessKeyId_ + '/' + scope(now)
                      + ",SignedHeaders=" + signedHeaders(canonicalHeaders(headers))
                      + ",Signature=" + signature(stringToSign(request, now), now)});
    return added;
}

QByteArray S3Signer::canonicalRequest(const QByteArray& method, const QByteArray& path,
                                      const QList<QPair<QString, QString>>& query, const Headers& headers,
                                      const QByteArray& payloadHash)
{
    QList<QPair<QByteArray, QByteArray>> items;
    for (const auto& item : query)
        items.append({uriEncode(item.first.toUtf8(), false), uriEncode(item.second.toUtf8(), false)});
    std::sort(items.begin(), items.end());
    QByteArray canonicalQuery;
    for (const auto& item : items)
        canonicalQuery += (canonicalQuery.isEmpty() ? "" : "&") + item.first + '=' + item.second;

    const Headers sorted = canonicalHeaders(headers);
    QByteArray lines;
    for (const auto& header : sorted)
        lines += header.first + ':' + header.second + '\n';
    return method + '\n' + (path.isEmpty() ? QByteArray("/") : path) + '\n' + canonicalQuery + '\n' + lines + '\n'
        + signedHeaders(sorted) + '\n' + payloadHash;
}

QByteArray S3Signer::stringToSign(const QByteArray& canonicalRequest, const QDateTime& now) const
{
    return "AWS4-HMAC-SHA256\n" + dateTime(now) + '\n' + scope(now) + '\n' + payloadHash(canonicalRequest);
}

QByteArray S3Signer::signature(const QByteArray& stringToSign, const QDateTime& now) const
{
    QByteArray key = hmac("AWS4" + secretAccessKey_, dateTime(now).left(8));
    for (const QByteArray& part : {region_, QByteArray("s3"), QByteArray("aws4_request")})
        key = hmac(key, part);
    return hmac(key, stringToSign).toHex();
}

QByteArray S3Signer::scope(const QDateTime& now) const
{
    return dateTime(now).left(8) + '/' + region_ + "/s3/aws4_request";
}

} // namespace ZRV::Cloud
