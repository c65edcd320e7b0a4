#include "objectreader.h"

#include "cloud/cloudfactory.h"

#include <cstring>
#include <memory>

using ZRV::Cloud::Api::CloudFactory;
using ZRV::Cloud::Api::ICloudApi;

ObjectReader::ObjectReader(ObjectLocation location, qint64 size, QSharedPointer<Budget> budget)
    : location_(std::move(location))
    , size_(size)
    , budget_(budget ? std::move(budget) : QSharedPointer<Budget>::create())
{
}

ObjectReader::~ObjectReader()
{
    dropWindow();
    budget_->leave(this);
}

bool ObjectReader::open(OpenMode mode)
{
    if (size_ < 0) {
        const std::unique_ptr<ICloudApi> api(CloudFactory::create(location_.config()));
        size_ = api->objectSize(location_.bucket(), location_.key());
        if (size_ < 0) {
            setErrorString(QStringLiteral("cannot read %1: %2").arg(location_.toString(), api->errorString()));
            return false;
        }
    }
    return QIODevice::open(mode | Unbuffered);
}

void ObjectReader::close()
{
    dropWindow();
    QIODevice::close();
}

void ObjectReader::dropWindow()
{
    // A piece in flight cannot be called back; its result is waited for and dropped.
    window_.clear();
    lastIndex_ = -2;
}

void ObjectReader::request(qint64 index)
{
    if (index * Chunk >= size_ || window_.count(index))
        return;
    // Each request has an API object of its own: its blocking calls are made from its own thread.
    std::shared_ptr<ICloudApi> api(CloudFactory::create(location_.config()));
    const qint64 offset = index * Chunk;
    const qint64 length = qMin(Chunk, size_ - offset);
    Piece& piece = window_[index];
    piece.pending =
        std::async(std::launch::async, [api, bucket = location_.bucket(), key = location_.key(), offset, length] {
            QByteArray bytes = api->downloadRange(bucket, key, quint64(offset), quint64(length - 1), {}, {});
            return std::make_pair(bytes, bytes.size() == length ? QString() : api->errorString());
        });
}

bool ObjectReader::receive(Piece& piece, qint64 index)
{
    if (!piece.arrived) {
        auto [bytes, error] = piece.pending.get();
        piece.bytes = std::move(bytes);
        piece.arrived = true;
        const qint64 expected = qMin(Chunk, size_ - index * Chunk);
        if (piece.bytes.size() != expected) {
            piece.bytes.clear();
            setErrorString(
                QStringLiteral("cannot read %1 at byte %2: %3")
                    .arg(location_.toString())
                    .arg(index * Chunk)
                    .arg(error.isEmpty() ? QStringLiteral("the object ends early (it changed while read)") : error));
            window_.erase(index);
            lastIndex_ = -2;
            return false;
        }
    }
    return true;
}

qint64 ObjectReader::readData(char* data, qint64 maxSize)
{
    const qint64 position = pos();
    if (position >= size_)
        return 0;
    budget_->touch(this);
    const qint64 index = position / Chunk;
    if (index != lastIndex_) {
        // Moving on to the next piece: keep the window full ahead. After a jump: only what is
        // needed, plus the next piece, so scattered reads do not fetch a window each.
        for (auto it = window_.begin(); it != window_.end();)
            it = it->first < index || it->first >= index + Window ? window_.erase(it) : std::next(it);
        for (qint64 ahead = 0; ahead < (index == lastIndex_ + 1 ? Window : 2); ++ahead)
            request(index + ahead);
        lastIndex_ = index;
    }
    Piece& piece = window_.at(index);
    if (!receive(piece, index))
        return -1;
    const qint64 within = position - index * Chunk;
    const qint64 count = qMin(maxSize, qint64(piece.bytes.size()) - within);
    memcpy(data, piece.bytes.constData() + within, size_t(count));
    return count;
}

void ObjectReader::Budget::touch(ObjectReader* reader)
{
    if (!holding_.isEmpty() && holding_.last() == reader)
        return;
    holding_.removeOne(reader);
    holding_.append(reader);
    if (holding_.size() > limit_)
        holding_.takeFirst()->dropWindow();
}

void ObjectReader::Budget::leave(ObjectReader* reader)
{
    holding_.removeOne(reader);
}
