#pragma once

#include "cloud/icloudapi.h"

#include <QString>
#include <memory>
#include <optional>

namespace ZRV::Cloud {

// The objects of a "local" container: files below its directory, named by their paths relative
// to it ('/' between folders).
class LocalStore
{
public:
    explicit LocalStore(const QString& container);

    // The file of object `path`; empty, with the reason in `error`, when the path leaves the container.
    QString filePath(const QString& path, QString* error) const;
    std::optional<QVector<Api::ObjectEntry>> list(const QString& prefix, QString* error) const;
    bool remove(const QString& path, QString* error) const;
    std::unique_ptr<Api::IObjectWriter> createWriter(const QString& path, QString* error) const;

private:
    const QString container_;
};

} // namespace ZRV::Cloud
