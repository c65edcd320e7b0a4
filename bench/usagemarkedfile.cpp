#include "usagemarkedfile.h"

#include <QVariant>

UsageMarkedFile::UsageMarkedFile(const QString& imagePath, const QString& usagePath, qint64 blockSize)
    : QFile(imagePath)
    , usage_(usagePath)
    , blockSize_(blockSize)
{
}

bool UsageMarkedFile::open(OpenMode mode)
{
    if (!usage_.open(QIODevice::ReadOnly)) {
        setErrorString(usage_.errorString());
        return false;
    }
    return QFile::open(mode | Unbuffered);
}

void UsageMarkedFile::close()
{
    usage_.close();
    QFile::close();
}

qint64 UsageMarkedFile::readData(char* data, qint64 maxSize)
{
    // Unbuffered, so pos() is where this read starts.
    const qint64 start = pos();
    const qint64 count = QFile::readData(data, maxSize);
    if (count > 0) {
        char used = 1;
        if (!usage_.seek((start + count - 1) / blockSize_) || !usage_.getChar(&used)) {
            setErrorString(tr("The usage map %1 ends before the image").arg(usage_.fileName()));
            return -1;
        }
        setProperty("IS_USED", int(used != 0));
    }
    return count;
}
