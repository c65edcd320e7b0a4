#pragma once

#include "repositorystore.h"

#include <QDir>

// A repository in a local directory. Files are read only when they are regular files (a FIFO or
// device planted under a repository name would hang or feed the reader), created privately beside
// their name and renamed into place without replacing anything, and the writer's lock is a
// QLockFile.
class DirectoryStore : public RepositoryStore
{
public:
    explicit DirectoryStore(const QString& path);

    QString location() const override { return path_; }
    QString locate(const QString& name) const override { return directory_.filePath(name); }
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
    QStringList temporaries() const override;

private:
    QString path_;
    QDir directory_;
};
