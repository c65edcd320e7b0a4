#pragma once

#include "cloud/iobjectwriter.h"
#include "provider.h"

#include <QVector>
#include <deque>
#include <memory>

namespace ZRV::Cloud {

class Channel;

// Writes an S3 object: one PUT when everything written fits in one part, else a multipart upload
// of PartSize parts with up to PartsInFlight of them uploading at once while the next part fills.
// Memory stays below (PartsInFlight + 1) * PartSize. A failure or abort() aborts the multipart
// upload once the parts in flight have ended, so that the store keeps no orphaned parts.
class S3ObjectWriter : public Api::IObjectWriter
{
    Q_OBJECT

public:
    static constexpr int PartSize = 8 * 1024 * 1024;
    static constexpr int PartsInFlight = 3;

    S3ObjectWriter(const Provider& provider, const QString& bucket, const QString& key);
    ~S3ObjectWriter() override;

    bool commit() override;
    void abort() override;

protected:
    qint64 writeData(const char* data, qint64 size) override;

private:
    struct Part
    {
        int number;
        std::shared_ptr<Channel> channel;
    };

    bool sendPart(QByteArray bytes);
    // Waits for the oldest part in flight; false when it failed.
    bool awaitPart();
    // Ends the writer after `error`: aborts the upload, closes, remembers why.
    bool fail(const QString& error);
    bool call(const QByteArray& method, const QList<QPair<QString, QString>>& query, const QByteArray& body,
              const char* what, QByteArray* answer = nullptr);

    const Provider provider_;
    const QString bucket_;
    const QString key_;
    QByteArray buffer_;
    QString uploadId_;
    std::deque<Part> inFlight_;
    QVector<QByteArray> etags_; // of the parts that arrived, by part number - 1
    int partsSent_ = 0;
};

} // namespace ZRV::Cloud
