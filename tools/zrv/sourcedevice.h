#pragma once

#include <QIODevice>

// What a command reads: a regular file, a block device (its size asked of the kernel), a FIFO, a
// character device, or standard input ("-", "/dev/stdin"). Every read returns as many bytes as
// were asked for unless the input ends, so blocks never depend on how a pipe splits its writes;
// atEnd() is true only at the real end. A regular file or device that ends before its size fails
// the read ("SOURCE shrank while it was read").
// With `markUnused`, each read sets the dynamic property "IS_USED" to 0 when its bytes are a hole
// of a sparse file, or all zeros where the input cannot tell holes, and to 1 otherwise; read one
// block per call, so the mark speaks for that block.
class SourceDevice : public QIODevice
{
public:
    explicit SourceDevice(QString path, bool markUnused = false);
    ~SourceDevice() override;

    // False with the error string naming the cause and the file.
    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override;
    // The input's length, or 0 when it cannot be known before its end.
    qint64 size() const override;
    bool seek(qint64 pos) override;
    bool atEnd() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    bool liesInHole(qint64 offset, qint64 length) const;
    QString name() const;

    const QString path_;
    const bool markUnused_;
    int descriptor_ = -1;
    bool ownsDescriptor_ = false;
    bool sequential_ = false;
    bool knowsHoles_ = false;
    bool ended_ = false;
    qint64 size_ = 0;
    qint64 position_ = 0;
};
