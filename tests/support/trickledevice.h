#pragma once

#include <QByteArray>
#include <QIODevice>

// A sequential, pipe-like source: hands out at most `chunk` bytes per read, cannot seek, and
// refuses to be opened a second time once closed. Optionally fails every read from a given
// offset on, or stalls: answers every other read (the first included) with 0 bytes while not
// at its end.
class TrickleDevice : public QIODevice
{
public:
    explicit TrickleDevice(QByteArray data, qint64 chunk = 3, qint64 failAt = -1);

    void setStalling(bool stalling) { stalling_ = stalling; }

    bool isSequential() const override { return true; }
    bool open(OpenMode mode) override;
    bool atEnd() const override;
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray data_;
    qint64 chunk_;
    qint64 failAt_;
    qint64 offset_ = 0;
    bool opened_ = false;
    bool stalling_ = false;
    bool stalledLast_ = false;
};
