#include "s3xml.h"

#include <QDateTime>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace ZRV::Cloud {

QString S3Xml::error(const QByteArray& body)
{
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("Error"))
        return QString();
    QString code;
    QString message;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Code"))
            code = xml.readElementText();
        else if (xml.name() == QLatin1String("Message"))
            message = xml.readElementText();
        else
            xml.skipCurrentElement();
    }
    if (code.isEmpty())
        return QString();
    return message.isEmpty() ? code : code + QStringLiteral(": ") + message;
}

QString S3Xml::text(const QByteArray& body, const QString& name)
{
    QXmlStreamReader xml(body);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == name)
            return xml.readElementText();
    return QString();
}

std::optional<S3Xml::Listing> S3Xml::listing(const QByteArray& body)
{
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("ListBucketResult"))
        return std::nullopt;
    Listing listing;
    bool truncated = false;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Contents")) {
            Api::ObjectEntry entry;
            bool sized = false;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("Key"))
                    entry.path = xml.readElementText();
                else if (xml.name() == QLatin1String("Size"))
                    entry.size = xml.readElementText().toLongLong(&sized);
                else if (xml.name() == QLatin1String("LastModified"))
                    entry.modified = QDateTime::fromString(xml.readElementText(), Qt::ISODateWithMs);
                else
                    xml.skipCurrentElement();
            }
            if (entry.path.isEmpty() || !sized || entry.size < 0)
                return std::nullopt;
            listing.entries.append(entry);
        } else if (xml.name() == QLatin1String("IsTruncated")) {
            truncated = xml.readElementText() == QLatin1String("true");
        } else if (xml.name() == QLatin1String("NextContinuationToken")) {
            listing.continuationToken = xml.readElementText();
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError() || truncated == listing.continuationToken.isEmpty())
        return std::nullopt;
    return listing;
}

QByteArray S3Xml::completeMultipartUpload(const QVector<QByteArray>& etags)
{
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartElement(QStringLiteral("CompleteMultipartUpload"));
    for (int index = 0; index < etags.size(); ++index) {
        xml.writeStartElement(QStringLiteral("Part"));
        xml.writeTextElement(QStringLiteral("PartNumber"), QString::number(index + 1));
        xml.writeTextElement(QStringLiteral("ETag"), QString::fromLatin1(etags[index]));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    return body;
}

} // namespace ZRV::Cloud
