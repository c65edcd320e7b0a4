#pragma once

#include "transfer.h"

#include <QFile>

namespace ZRV::Cloud {

// Reads the object, or only its size, from a file below the container directory.
class LocalTransfer : public Transfer
{
    Q_OBJECT

public:
    using Transfer::Transfer;

protected:
    void onBegin() override;
    void resume() override;

private:
    QFile file_;
    qint64 remaining_ = -1;
};

} // namespace ZRV::Cloud
