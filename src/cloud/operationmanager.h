#pragma once

#include "cloud/ioperation.h"
#include "zrvcloud_export.h"

#include <QIODevice>
#include <QMap>
#include <QSharedPointer>
#include <QVariant>

namespace ZRV::Cloud {

// Makes download operations. Transfers run on worker threads of the process, at most threadCount()
// of them at once; operations beyond that wait in order of start().
class ZRVCLOUD_EXPORT OperationManager
{
public:
    // The one manager of the process, made on first use.
    static OperationManager& instance();

    int threadCount() const;
    // Values below 1 count as 1.
    void setThreadCount(int count);

    // An operation that writes the whole object at `path` into `target` from its position 0; null
    // when the configuration names no known provider or the target is null. The target must stay
    // alive until the operation has finished or has been removed. A file target that is longer
    // than what was written (preallocated) is cut to the written length.
    QSharedPointer<IOperation> download2Stream(const QMap<QString, QVariant>& config, const QString& path,
                                               QIODevice* target);
    // The same for the bytes `offset` through `offset + length`, both included (fewer where the
    // object ends).
    QSharedPointer<IOperation> downloadBlob2Stream(const QMap<QString, QVariant>& config, const QString& path,
                                                   unsigned long long offset, unsigned long long length,
                                                   QIODevice* target);

private:
    OperationManager();
    ~OperationManager();
    OperationManager(const OperationManager&) = delete;
    OperationManager& operator=(const OperationManager&) = delete;
};

} // namespace ZRV::Cloud
