#pragma once

#include "pendingfile.h"

// A file that appears under its name only once it is complete: the bytes go to a private temporary
// file beside the target (created with O_EXCL|O_NOFOLLOW, mode 0600), and commit() flushes it to
// disk, puts it in place and flushes the directory. A file destroyed without commit() leaves
// nothing behind. Seekable, so a writer may rewrite a header; every failed write is remembered and
// fails commit(). With `sparse`, writes of whole zero blocks become holes.
class PrivateFile : public PendingFile
{
public:
    enum Placement {
        Replace, // a regular file of that name is replaced; anything else there is refused
        NoReplace // the name must be free; an existing file is never touched
    };

    PrivateFile(QString target, Placement placement, bool sparse = false);
    ~PrivateFile() override;

    // Creates the temporary file; false with the error string set (naming the cause and the file).
    bool open(OpenMode mode) override;
    // Ends writing through QIODevice but keeps the temporary file for commit().
    void close() override;
    bool isSequential() const override { return false; }
    qint64 size() const override;
    bool seek(qint64 pos) override;

    // Puts the file in place; throws ToolError naming the cause and the file.
    void commit() override;
    QString temporaryPath() const override { return temporaryPath_; }
    QString target() const override { return target_; }

    // The directory of `path` flushed to disk, so a rename or new entry in it survives a crash.
    static bool syncDirectory(const QString& path);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    void discard();

    const QString target_;
    const Placement placement_;
    const bool sparse_;
    QString temporaryPath_;
    int descriptor_ = -1;
    qint64 size_ = 0;
    QString failure_;
};
