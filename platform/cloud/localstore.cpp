#include "localstore.h"

#include "core/zrvdebug.h"
#include "localobjectwriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>

namespace ZRV::Cloud {

namespace {

template <typename T>
T failed(QString* error, const QString& reason, const char* what, T value)
{
    *error = reason;
    ZrvDebug("CLOUD").warning() << QByteArray(what).append(" failed:").constData() << reason;
    return value;
}

} // namespace

LocalStore::LocalStore(const QString& container)
    : container_(QDir::cleanPath(container))
{
}

QString LocalStore::filePath(const QString& path, QString* error) const
{
    const QString fileName = QDir::cleanPath(QDir(container_).filePath(path));
    const QString inside = container_.endsWith(QLatin1Char('/')) ? container_ : container_ + QLatin1Char('/');
    if (path.isEmpty() || !fileName.startsWith(inside)) {
        *error = QStringLiteral("object path \"%1\" leaves the container \"%2\"").arg(path, container_);
        return QString();
    }
    return fileName;
}

std::optional<QVector<Api::ObjectEntry>> LocalStore::list(const QString& prefix, QString* error) const
{
    if (!QFileInfo(container_).isDir())
        return failed<std::optional<QVector<Api::ObjectEntry>>>(
            error, QStringLiteral("no container directory \"%1\"").arg(container_), "listing", std::nullopt);
    QVector<Api::ObjectEntry> entries;
    const QDir root(container_);
    QDirIterator files(container_, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        const QString path = root.relativeFilePath(files.filePath());
        if (path.startsWith(prefix) && !files.fileName().startsWith(LocalObjectWriter::IncomingPrefix))
            entries.append({path, files.fileInfo().size(), files.fileInfo().lastModified()});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Api::ObjectEntry& a, const Api::ObjectEntry& b) { return a.path.toUtf8() < b.path.toUtf8(); });
    return entries;
}

bool LocalStore::remove(const QString& path, QString* error) const
{
    const QString fileName = filePath(path, error);
    if (fileName.isEmpty())
        return failed(error, *error, "removal", false);
    QFile file(fileName);
    if (!file.remove() && file.exists())
        return failed(error, QStringLiteral("cannot remove \"%1\": %2").arg(fileName, file.errorString()), "removal",
                      false);
    return true;
}

std::unique_ptr<Api::IObjectWriter> LocalStore::createWriter(const QString& path, QString* error) const
{
    const QString fileName = filePath(path, error);
    if (fileName.isEmpty())
        return failed<std::unique_ptr<Api::IObjectWriter>>(error, *error, "writing", nullptr);
    auto writer = std::make_unique<LocalObjectWriter>(fileName);
    if (!writer->isOpen())
        return failed<std::unique_ptr<Api::IObjectWriter>>(error, writer->errorString(), "writing", nullptr);
    return writer;
}

} // namespace ZRV::Cloud
