#pragma once

#include "cloud/icloudpreparestream.h"
#include "zrvstreams_export.h"

#include <memory>

class QTemporaryFile;

namespace ZRV::Stream::Cloud {

// Downloads the whole object with one cloud operation into one temporary file and serves reads from
// that file once ready. Before that, pos(), size() and readData give 0 and seek, atEnd and reset
// false. A failed download logs its reason, deletes the file and closes the stream; open may then
// be called again.
class ZRVSTREAMS_EXPORT CloudPrepareSimpleStream : public ICloudPrepareStream
{
    Q_OBJECT

public:
    CloudPrepareSimpleStream(const QMap<QString, QVariant>& config, const QString& path, unsigned long long size,
                             const QString& temporaryFileTemplate, QObject* parent = nullptr);
    // Stops a running download before deleting the file it writes into.
    ~CloudPrepareSimpleStream() override;

    // False while a file is kept (a download runs or has succeeded), when the file cannot be made,
    // for an empty configuration, or when no operation can be made (the stream then stays open and
    // never becomes ready).
    bool open(OpenMode mode) override;
    // Closes the file; the stream stays open.
    void close() override;
    qint64 pos() const override;
    qint64 size() const override;
    bool seek(qint64 pos) override;
    bool atEnd() const override;
    bool reset() override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private slots:
    void onOperationFinished();

private:
    bool isServing() const;

    struct PrivateObject;
    const std::unique_ptr<PrivateObject> d_;
    std::unique_ptr<QTemporaryFile> file_;
};

} // namespace ZRV::Stream::Cloud
