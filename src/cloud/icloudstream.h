#pragma once

#include "zrvstreams_export.h"

#include <QIODevice>
#include <QMap>
#include <QString>
#include <QVariant>

namespace ZRV::Stream {

// A read-only, random-access device over one stored object of a size stated by its creator,
// addressed by a cloud configuration and an object path. Subclasses read (readData) from the
// stream's own position, which follows what QIODevice has fetched; QIODevice's read buffer stays in
// front of readData, so pos() is the caller's position, seek() and reset() drop the buffer, and
// atEnd() is true only when the caller has been handed every byte up to the stated size.
class ZRVSTREAMS_EXPORT ICloudStream : public QIODevice
{
    Q_OBJECT

public:
    ICloudStream(const QMap<QString, QVariant>& config, const QString& path, unsigned long long size,
                 QObject* parent = nullptr);

    bool isSequential() const override;
    // Only exactly ReadOnly is accepted: any other mode logs a warning and throws
    // UnsupportedOperation. False for an empty configuration. The device is left buffered.
    bool open(OpenMode mode) override;
    // Does nothing; the stream stays open.
    void close() override;
    qint64 pos() const override;
    qint64 size() const override;
    // False beyond the size; the size itself is accepted.
    bool seek(qint64 pos) override;
    bool atEnd() const override;
    bool reset() override;
    bool canReadLine() const override;

protected:
    // Refuses: logs a warning and throws UnsupportedOperation.
    qint64 writeData(const char* data, qint64 maxSize) override;

    // Bytes between the position readData continues from and the stated size.
    unsigned long long remaining() const;

    QMap<QString, QVariant> config_;
    QString path_;
    unsigned long long size_;
    unsigned long long position_ = 0;
};

} // namespace ZRV::Stream
