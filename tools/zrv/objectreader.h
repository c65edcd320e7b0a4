#pragma once

#include "objectlocation.h"

#include <QByteArray>
#include <QIODevice>
#include <QSharedPointer>
#include <future>
#include <map>

// Reads one stored object through ranged reads of the cloud library, several of them in flight
// ahead of the reader while it reads on in order: a window of Chunk-sized pieces, so memory stays
// at Window * Chunk per reader whatever the object's size. A seek away from the window drops it,
// and the first read there fetches only what it needs before reading ahead again. Readers of one
// restore share one Budget, which bounds the windows held at once over a chain of any
// length. Random access; atEnd() only at the object's end.
class ObjectReader : public QIODevice
{
public:
    static constexpr qint64 Chunk = 2 << 20;
    static constexpr int Window = 6;

    // Bounds how many readers hold a window at once; the one read least recently gives its up.
    class Budget;

    // `size` -1: asked of the store at open().
    explicit ObjectReader(ObjectLocation location, qint64 size = -1, QSharedPointer<Budget> budget = {});
    ~ObjectReader() override;

    // False, with an error string naming the object and the store's reason, when it cannot be read.
    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return false; }
    qint64 size() const override { return size_; }

    // Drops the window (used by the budget).
    void dropWindow();

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    // The piece starting at byte index * Chunk: asked for, then waited for.
    struct Piece
    {
        std::future<std::pair<QByteArray, QString>> pending;
        QByteArray bytes;
        bool arrived = false;
    };

    void request(qint64 index);
    // Waits for the piece; false with the error string set when the store did not deliver it whole.
    bool receive(Piece& piece, qint64 index);

    const ObjectLocation location_;
    qint64 size_;
    const QSharedPointer<Budget> budget_;
    std::map<qint64, Piece> window_;
    qint64 lastIndex_ = -2;
};

class ObjectReader::Budget
{
public:
    explicit Budget(int readers = 4)
        : limit_(readers)
    {
    }
    void touch(ObjectReader* reader);
    void leave(ObjectReader* reader);

private:
    QList<ObjectReader*> holding_; // most recently read last
    const int limit_;
};
