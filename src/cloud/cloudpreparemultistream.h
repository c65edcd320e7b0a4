#pragma once

#include "cloud/icloudpreparestream.h"
#include "core/extensions/range.h"
#include "zrvstreams_export.h"

#include <memory>
#include <utility>
#include <vector>

namespace ZRV::Stream::Cloud {

// Cuts the object into parts and downloads each with its own cloud operation into its own temporary
// file; ready when every part has arrived, then reads stitch the part files together. A failed part
// closes the stream; the parts that arrived are kept, so a new open fetches only the others.
// pos() and size() answer before the stream is ready. readData returns what it could deliver, or -1
// with an error string when a part file holds less than its range.
class ZRVSTREAMS_EXPORT CloudPrepareMultiStream : public ICloudPrepareStream
{
    Q_OBJECT

public:
    static constexpr unsigned long long MinimumPartSize = 10485760;

    // partSize 0: about threadCount() parts of the operation manager, at least MinimumPartSize each;
    // below MinimumPartSize: MinimumPartSize (with a warning).
    CloudPrepareMultiStream(const QMap<QString, QVariant>& config, const QString& path, unsigned long long size,
                            const QString& temporaryFileTemplate, unsigned long long partSize,
                            QObject* parent = nullptr);
    // Stops running downloads before deleting the part files they write into.
    ~CloudPrepareMultiStream() override;

    // Makes the missing part files and starts a download for every part that has not arrived; an
    // operation still running from an earlier open is replaced. False (stream closed) when a file or
    // an operation cannot be made.
    bool open(OpenMode mode) override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private slots:
    void onOperationFinished();

private:
    class PrivateObject;

    static unsigned long long choosePartSize(unsigned long long size, unsigned long long partSize);

    const std::unique_ptr<PrivateObject> d_;
    // In ascending order of offset; each range is closed and the device is the part's file.
    std::vector<std::pair<Extensions::Range<unsigned long long>, std::unique_ptr<QIODevice>>> parts_;
    const unsigned long long partSize_;
};

} // namespace ZRV::Stream::Cloud
