#pragma once

#include "zrvcloud_export.h"

#include <QObject>
#include <QString>

namespace ZRV::Cloud {

// One transfer made by the OperationManager. It lives in the thread that made it and is started,
// queried and removed there; finished() is emitted from that thread's event loop, never from
// inside start().
class ZRVCLOUD_EXPORT IOperation : public QObject
{
    Q_OBJECT

public:
    explicit IOperation(QObject* parent = nullptr);
    ~IOperation() override;

    // Begins the transfer; later calls do nothing.
    virtual void start() = 0;
    // True once every byte has been written and flushed into the target.
    virtual bool isComplite() const = 0;
    // True once the transfer has failed; errorMessage() then says why.
    virtual bool isError() const = 0;
    virtual const QString& errorMessage() const = 0;
    // Stops the transfer. Once it has returned, nothing is written into the target any more and
    // finished() is not emitted, so the target may be destroyed.
    virtual void remove() = 0;

signals:
    // Emitted once when the transfer has ended, well or badly.
    void finished();
};

} // namespace ZRV::Cloud
