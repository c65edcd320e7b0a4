#pragma once

#include "cloud/iobjectwriter.h"

#include <QSaveFile>

namespace ZRV::Cloud {

// Writes an object of a "local" container: a private (0600) temporary file beside the target,
// made durable and renamed over it on commit, the directory synced after. Folders of the object's
// path are made as needed.
class LocalObjectWriter : public Api::IObjectWriter
{
    Q_OBJECT

public:
    // Open unless the file cannot be made (errorString() says why).
    explicit LocalObjectWriter(const QString& fileName);
    ~LocalObjectWriter() override;

    bool commit() override;
    void abort() override;

protected:
    qint64 writeData(const char* data, qint64 size) override;

private:
    QSaveFile file_;
};

} // namespace ZRV::Cloud
