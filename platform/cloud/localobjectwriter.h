#pragma once

#include "cloud/iobjectwriter.h"

#include <QTemporaryFile>

namespace ZRV::Cloud {

// Writes an object of a "local" container: a private temporary file beside the target (made with
// O_EXCL, mode 0600, named IncomingPrefix + random letters), synced and renamed over the target on
// commit, the folder synced after. Folders of the object's path are made as needed.
class LocalObjectWriter : public Api::IObjectWriter
{
    Q_OBJECT

public:
    // Listings leave out files of writers in progress by this prefix.
    static const QString IncomingPrefix;

    // Open unless the file cannot be made (errorString() says why).
    explicit LocalObjectWriter(const QString& fileName);
    ~LocalObjectWriter() override;

    bool commit() override;
    void abort() override;

protected:
    qint64 writeData(const char* data, qint64 size) override;

private:
    const QString fileName_;
    QTemporaryFile file_;
};

} // namespace ZRV::Cloud
