#pragma once

#include <QIODevice>

// A sequential source over fixed bytes that hands out at most `step` bytes per read, as a pipe
// or a slow stream does. A stalling one answers every other read (the first included) with 0
// bytes while not at its end.
class TrickleDevice : public QIODevice
{
public:
    TrickleDevice(const QByteArray& data, qint64 step, bool stalling = false);

    bool isSequential() const override { return true; }
    bool atEnd() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const QByteArray data_;
    const qint64 step_;
    const bool stalling_;
    qint64 position_ = 0;
    bool stalledLast_ = false;
};
