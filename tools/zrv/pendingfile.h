#pragma once

#include <QIODevice>
#include <QString>

// Bytes that appear under their name only once commit() succeeds; destroyed without commit(), it
// leaves nothing behind. A local file (PrivateFile) or a stored object (ObjectFile).
class PendingFile : public QIODevice
{
public:
    using QIODevice::QIODevice;

    // Puts the bytes in place; throws ToolError naming the cause and the target.
    virtual void commit() = 0;
    // The target as messages name it.
    virtual QString target() const = 0;
    // A local file holding what was written so far, to read it back before commit(); empty when
    // the bytes go straight to their target.
    virtual QString temporaryPath() const = 0;
};
