#include "objectstore.h"

#include "objectfile.h"
#include "objectlock.h"
#include "toolerror.h"

#include "cloud/cloudfactory.h"

#include <QTemporaryFile>

using ZRV::Cloud::Api::CloudFactory;
using ZRV::Cloud::Api::ICloudApi;
using ZRV::Cloud::Api::ObjectEntry;

ObjectStore::ObjectStore(ObjectLocation location)
    : location_(std::move(location))
{
}

QVector<ObjectEntry> ObjectStore::list() const
{
    const std::unique_ptr<ICloudApi> api(CloudFactory::create(location_.config()));
    const QString prefix = location_.keyOf(QString());
    const std::optional<QVector<ObjectEntry>> listed = api->listObjects(location_.bucket(), prefix);
    if (!listed)
        throw ToolError(ToolError::Failure,
                        QStringLiteral("cannot list %1: %2").arg(location_.toString(), api->errorString()));
    QVector<ObjectEntry> entries;
    for (ObjectEntry entry : *listed) {
        entry.path = entry.path.mid(prefix.size());
        entries.append(entry);
    }
    return entries;
}

void ObjectStore::check() const
{
    list();
}

void ObjectStore::create() const
{
    // Buckets are made by their owner; a prefix needs no making.
    check();
}

QMap<QString, qint64> ObjectStore::entries() const
{
    QMap<QString, qint64> entries;
    for (const ObjectEntry& entry : list()) {
        // Deeper keys are not the repository's, as subdirectories are not a directory repository's.
        if (entry.path.contains(QLatin1Char('/')))
            continue;
        entries.insert(entry.path, entry.size);
        listed_.insert(entry.path, entry);
    }
    return entries;
}

bool ObjectStore::isEmpty() const
{
    return list().isEmpty();
}

qint64 ObjectStore::sizeOf(const QString& name) const
{
    const std::unique_ptr<ICloudApi> api(CloudFactory::create(location_.config()));
    const qint64 size = api->objectSize(location_.bucket(), location_.keyOf(name));
    if (size < 0 && !ObjectLocation::isMissing(api->errorString()))
        throw ToolError(ToolError::Failure, QStringLiteral("cannot read %1: %2").arg(locate(name), api->errorString()));
    return size;
}

bool ObjectStore::contains(const QString& name) const
{
    return sizeOf(name) >= 0;
}

QDateTime ObjectStore::modified(const QString& name) const
{
    if (!listed_.contains(name))
        entries();
    return listed_.value(name).modified.toLocalTime();
}

QSharedPointer<QIODevice> ObjectStore::openFile(const QString& name) const
{
    ObjectReader reader(location_.child(name));
    auto file = QSharedPointer<QTemporaryFile>::create();
    const auto fail = [&](const QString& why) {
        return ToolError(ToolError::Failure, QStringLiteral("cannot read %1: %2").arg(locate(name), why));
    };
    if (!reader.open(QIODevice::ReadOnly))
        throw ToolError(ToolError::Failure,
                        ObjectLocation::isMissing(reader.errorString())
                            ? QStringLiteral("cannot read %1: there is no such object").arg(locate(name))
                            : reader.errorString());
    if (!file->open())
        throw fail(file->errorString());
    QByteArray block(int(ObjectReader::Chunk), Qt::Uninitialized);
    while (!reader.atEnd()) {
        const qint64 count = reader.read(block.data(), block.size());
        if (count <= 0)
            throw ToolError(ToolError::Failure, reader.errorString());
        if (file->write(block.constData(), count) != count)
            throw fail(file->errorString());
    }
    file->seek(0);
    return file;
}

QString ObjectStore::unusable(const QString& name, quint64 needed) const
{
    // Objects are never rewritten in place: a size listed before holds.
    const qint64 size = listed_.contains(name) ? listed_.value(name).size : sizeOf(name);
    if (size < 0)
        return QStringLiteral("there is no such object");
    if (quint64(size) < needed)
        return QStringLiteral("it holds %1 bytes").arg(size);
    return {};
}

QMap<unsigned int, QSharedPointer<QIODevice>> ObjectStore::openData(const QMap<unsigned int, QString>& names) const
{
    const auto budget = QSharedPointer<ObjectReader::Budget>::create();
    QMap<unsigned int, QSharedPointer<QIODevice>> devices;
    for (auto it = names.begin(); it != names.end(); ++it)
        devices.insert(it.key(), QSharedPointer<ObjectReader>::create(location_.child(it.value()), -1, budget));
    return devices;
}

std::unique_ptr<PendingFile> ObjectStore::createFile(const QString& name, bool sequential) const
{
    return std::make_unique<ObjectFile>(location_.child(name), PrivateFile::NoReplace,
                                        sequential ? ObjectFile::Streamed : ObjectFile::Staged);
}

bool ObjectStore::remove(const QString& name) const
{
    const std::unique_ptr<ICloudApi> api(CloudFactory::create(location_.config()));
    return api->removeObject(location_.bucket(), location_.keyOf(name));
}

std::unique_ptr<RepositoryLock> ObjectStore::lock(int waitSeconds) const
{
    return std::make_unique<ObjectLock>(location_.child(QStringLiteral("lock")), location(), waitSeconds);
}
