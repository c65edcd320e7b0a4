#pragma once

#include "objectlocation.h"
#include "pendingfile.h"
#include "privatefile.h"

#include "cloud/iobjectwriter.h"

#include <memory>

// A stored object written as a PendingFile. Streamed, the bytes go up as they are written (the
// cloud library's writer: multipart, bounded memory) and the device is sequential; staged, they
// collect in a private temporary file, seekable and readable, and go up at commit(). With
// NoReplace an existing object of that name is never written over: the store offers no atomic
// create-if-absent, so the name is checked at open() and again right before commit(), which
// leaves only the moments between that check and the store's commit open to a racing writer.
class ObjectFile : public PendingFile
{
public:
    enum Staging { Streamed, Staged };

    ObjectFile(ObjectLocation location, PrivateFile::Placement placement, Staging staging);
    ~ObjectFile() override;

    // False with an error string naming the object and the store's reason.
    bool open(OpenMode mode) override;
    bool isSequential() const override { return !staging_; }
    qint64 size() const override;
    bool seek(qint64 pos) override;

    void commit() override;
    QString target() const override { return location_.toString(); }
    QString temporaryPath() const override { return staging_ ? staging_->temporaryPath() : QString(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    // Empty when the name is free; else why it may not be written.
    QString occupied() const;

    const ObjectLocation location_;
    const PrivateFile::Placement placement_;
    std::unique_ptr<PrivateFile> staging_;
    std::unique_ptr<ZRV::Cloud::Api::IObjectWriter> writer_;
    bool opened_ = false;
};
