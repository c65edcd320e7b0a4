#pragma once

#include <QFile>

// A disk image read the way a volume reader presents it to the block-level backup: after each
// read, the dynamic property "IS_USED" holds whether the block holding the last byte read is in
// use (1) or free (0). The usage map is a file of one byte per block of the image, 0 for a free
// block; it is read alongside, a byte at a time, so memory does not grow with the image.
// Opened unbuffered whatever the mode asks, so each read of the caller is one read of the image.
class UsageMarkedFile : public QFile
{
    Q_OBJECT

public:
    UsageMarkedFile(const QString& imagePath, const QString& usagePath, qint64 blockSize);

    bool open(OpenMode mode) override;
    void close() override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    QFile usage_;
    const qint64 blockSize_;
};
