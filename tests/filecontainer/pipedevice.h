#pragma once

#include <QIODevice>

// A device like a pipe or standard input: sequential, cannot seek, cannot be opened a second
// time, and hands out at most a few kilobytes per read.
class PipeDevice : public QIODevice
{
public:
    explicit PipeDevice(const QByteArray& bytes);

    bool isSequential() const override;
    bool open(OpenMode mode) override;
    bool atEnd() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    const QByteArray bytes_;
    qint64 delivered_ = 0;
    bool opened_ = false;
};
