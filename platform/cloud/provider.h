#pragma once

#include <QMap>
#include <QString>
#include <QVariant>
#include <optional>

namespace ZRV::Cloud {

// The transport a cloud configuration asks for, and its transfer chunk.
class Provider
{
public:
    enum class Kind { Local, Http };

    static constexpr qint64 DefaultChunkSize = 256 * 1024;
    static constexpr qint64 MaximumChunkSize = 16 * 1024 * 1024;

    // Empty unless "CloudType" is "local" or "http". "ChunkSize" below 1 or missing gives
    // DefaultChunkSize; larger than MaximumChunkSize gives MaximumChunkSize.
    static std::optional<Provider> fromConfig(const QMap<QString, QVariant>& config);

    Kind kind() const { return kind_; }
    qint64 chunkSize() const { return chunkSize_; }

private:
    Provider(Kind kind, qint64 chunkSize);

    Kind kind_;
    qint64 chunkSize_;
};

} // namespace ZRV::Cloud
