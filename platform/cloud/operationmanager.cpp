#include "cloud/operationmanager.h"

#include "cloud/configkeys.h"
#include "downloadoperation.h"
#include "transferpool.h"

#include <limits>

namespace ZRV::Cloud {

namespace {

// Chunks a running download may have in flight towards its target.
constexpr int DownloadWindow = 4;

QSharedPointer<IOperation> makeDownload(const QMap<QString, QVariant>& config, const QString& path, quint64 offset,
                                        qint64 count, QIODevice* target)
{
    const std::optional<Provider> provider = Provider::fromConfig(config);
    if (!provider || !target)
        return nullptr;
    TransferRequest request{*provider, config.value(Config::ContainerName).toString(), path, offset,
                            count,     std::make_shared<Channel>(DownloadWindow)};
    return DownloadOperation::make(std::move(request), target);
}

} // namespace

OperationManager& OperationManager::instance()
{
    // The pool is made first so that it outlives the manager at exit.
    TransferPool::instance();
    static OperationManager manager;
    return manager;
}

OperationManager::OperationManager() = default;
OperationManager::~OperationManager() = default;

int OperationManager::threadCount() const
{
    return TransferPool::instance().threadCount();
}

void OperationManager::setThreadCount(int count)
{
    TransferPool::instance().setThreadCount(count);
}

QSharedPointer<IOperation> OperationManager::download2Stream(const QMap<QString, QVariant>& config, const QString& path,
                                                             QIODevice* target)
{
    return makeDownload(config, path, 0, -1, target);
}

QSharedPointer<IOperation> OperationManager::downloadBlob2Stream(const QMap<QString, QVariant>& config,
                                                                 const QString& path, unsigned long long offset,
                                                                 unsigned long long length, QIODevice* target)
{
    // A range that reaches beyond what a file can hold means "up to the end of the object".
    const qint64 count = length < quint64(std::numeric_limits<qint64>::max()) ? qint64(length + 1) : -1;
    return makeDownload(config, path, offset, count, target);
}

} // namespace ZRV::Cloud
