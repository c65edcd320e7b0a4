#pragma once

#include <QIODevice>
#include <memory>

class PendingFile;
class QFile;

// Where a command writes its result, by what the path names:
// - a regular file or a new name: a PrivateFile, put in place only by commit(), replacing a
//   regular file of that name (a symbolic link or anything else that is no regular file is refused);
// - a block device: written in place from its first byte, refused when it is smaller than
//   `expectedSize`, flushed to the disk by commit();
// - a FIFO, a character device or standard output ("-"): streamed as it goes;
// - s3://BUCKET/KEY: an object, streamed up and stored under its key only by commit(), replacing
//   an object of that key.
// A terminal is refused: binary output would only garble it. With `sparse`, zero blocks of a new
// file become holes.
class OutputTarget
{
public:
    // Throws ToolError naming the cause and the file.
    explicit OutputTarget(const QString& path, qint64 expectedSize = -1, bool sparse = false);
    ~OutputTarget();

    QIODevice& device();
    // Throws ToolError when the data cannot be put in place or flushed.
    void commit();

private:
    QString path_;
    std::unique_ptr<PendingFile> file_;
    std::unique_ptr<QFile> stream_;
    bool blockDevice_ = false;
};
