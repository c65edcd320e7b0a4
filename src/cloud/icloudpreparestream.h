#pragma once

#include "cloud/icloudstream.h"
#include "zrvstreams_export.h"

#include <atomic>
#include <memory>

class QEventLoop;
class QTemporaryFile;

namespace ZRV::Stream::Cloud {

// A stream that downloads its object into temporary files first. It becomes ready when it emits
// readyRead(), which it does once the download is complete; seek, atEnd and reset refuse (false)
// before that.
class ZRVSTREAMS_EXPORT ICloudPrepareStream : public ICloudStream
{
    Q_OBJECT

public:
    // An empty template means QTemporaryFile's default name and place.
    ICloudPrepareStream(const QMap<QString, QVariant>& config, const QString& path, unsigned long long size,
                        const QString& temporaryFileTemplate, QObject* parent = nullptr);

    bool open(OpenMode mode) override = 0;
    bool seek(qint64 pos) override;
    bool atEnd() const override;
    bool reset() override;
    // Waits, from any thread, until the stream is ready: true when it is, false when `msecs` (-1: no
    // limit) have passed first or the download fails meanwhile. In the stream's own thread it runs
    // a local event loop meanwhile, which delivers the download's progress. Logs a warning and
    // returns false on a stream that is not open.
    bool waitForReadyRead(int msecs) override;

    bool readyToRead() const;

protected:
    // ICloudStream::open, also telling threads that wait.
    bool openForDownload(OpenMode mode);
    // Closes the stream without aboutToClose() after a failed download; ends waits.
    void closeAfterFailure();
    // A new temporary file, opened ReadWrite, with `size` bytes reserved; null on failure (a failed
    // reservation is logged).
    std::unique_ptr<QTemporaryFile> makeDownloadFile(unsigned long long size) const;

private slots:
    void onReadyReadNotification();

private:
    bool waitInOwnThread(int msecs);

    const QString temporaryFileTemplate_;
    // The local loop of a wait in the stream's own thread, ended by readiness or failure.
    QEventLoop* waitLoop_ = nullptr;
    std::atomic<bool> ready_{false};
    // isOpen() for waiting threads: QIODevice's open mode is written in the stream's thread.
    std::atomic<bool> open_{false};
};

// The time left of a timeout of `timeout` ms (-1: none) after `elapsed` ms: -1 for no limit, else not
// below 0.
ZRVSTREAMS_EXPORT int subtractFromTimeout(int timeout, int elapsed);

} // namespace ZRV::Stream::Cloud
