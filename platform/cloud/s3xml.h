#pragma once

#include "cloud/icloudapi.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <optional>

namespace ZRV::Cloud {

// Reads the XML documents of S3 answers and writes the one request body that is XML.
class S3Xml
{
public:
    // "Code: Message" of an <Error> document; empty for any other body.
    static QString error(const QByteArray& body);
    // The text of the first element `name` anywhere in the document; empty when there is none.
    static QString text(const QByteArray& body, const QString& name);

    // One page of a ListObjectsV2 answer.
    struct Listing
    {
        QVector<Api::ObjectEntry> entries;
        QString continuationToken; // empty on the last page
    };
    // Empty when the body is no ListBucketResult, or a truncated one without a continuation token.
    static std::optional<Listing> listing(const QByteArray& body);

    // The CompleteMultipartUpload body for the parts' ETags, part numbers counting from 1.
    static QByteArray completeMultipartUpload(const QVector<QByteArray>& etags);
};

} // namespace ZRV::Cloud
