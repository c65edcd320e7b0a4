#pragma once

#include "objectlocation.h"
#include "objectreader.h"
#include "repositorystore.h"

#include "cloud/icloudapi.h"

// A repository as the objects below a prefix of an S3 bucket: PREFIX/settings, PREFIX/N.map,
// PREFIX/N.data and PREFIX/lock, the names of a directory repository. Data objects stream up
// through the cloud library's writer and are read back in ranges with read-ahead; maps are staged
// in a private temporary file both ways, since they are read and written at several places.
class ObjectStore : public RepositoryStore
{
public:
    explicit ObjectStore(ObjectLocation location);

    QString location() const override { return location_.toString(); }
    QString locate(const QString& name) const override { return location_.toString(name); }
    void check() const override;
    void create() const override;

    QMap<QString, qint64> entries() const override;
    bool isEmpty() const override;
    bool contains(const QString& name) const override;
    QDateTime modified(const QString& name) const override;
    QSharedPointer<QIODevice> openFile(const QString& name) const override;
    QString unusable(const QString& name, quint64 needed) const override;
    QMap<unsigned int, QSharedPointer<QIODevice>> openData(const QMap<unsigned int, QString>& names) const override;
    std::unique_ptr<PendingFile> createFile(const QString& name, bool sequential) const override;
    bool remove(const QString& name) const override;

    std::unique_ptr<RepositoryLock> lock(int waitSeconds) const override;
    QStringList temporaries() const override { return {}; }

private:
    // Every object below the prefix, with keys relative to it; throws ToolError naming the store's reason.
    QVector<ZRV::Cloud::Api::ObjectEntry> list() const;
    // The size of the object; -1 when there is none; throws ToolError for any other failure.
    qint64 sizeOf(const QString& name) const;

    ObjectLocation location_;
    // The entries of the last listing: a listing tells the times, and saves a request per size.
    mutable QMap<QString, ZRV::Cloud::Api::ObjectEntry> listed_;
};
