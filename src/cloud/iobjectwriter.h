#pragma once

#include "zrvcloud_export.h"

#include <QIODevice>

namespace ZRV::Cloud::Api {

// Stores one object from the bytes written into it, in order, of a length not known in advance,
// with bounded memory. It is open (WriteOnly) when made. Nothing appears under the object's name
// before commit() succeeds; a writer that failed, was aborted or is destroyed uncommitted leaves
// the store as it was (no partial object, no orphaned upload parts). After a failure write()
// returns -1 and errorString() says why.
class ZRVCLOUD_EXPORT IObjectWriter : public QIODevice
{
    Q_OBJECT

public:
    using QIODevice::QIODevice;
    ~IObjectWriter() override;

    bool isSequential() const override { return true; }
    // Stores what was written under the object's name (replacing an object of that name); false,
    // with errorString() set and the store as it was, when that failed.
    virtual bool commit() = 0;
    // Drops what was written and closes the writer.
    virtual void abort() = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
};

} // namespace ZRV::Cloud::Api
