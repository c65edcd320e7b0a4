#pragma once

#include "stream/istreamread.h"

#include <QByteArray>
#include <functional>

namespace ZRV::Stream::FileContainer {

// Common ground of the container streams (packages and unpackages): a read-only sequential
// stream whose open() opens the source and then has init() build the inner chain. A failed
// init() leaves the stream closed; so does an exception out of it, which passes on to the caller.
class Base : public IStreamRead
{
    Q_OBJECT

public:
    Base(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent);

    bool isSequential() const override;
    bool open(OpenMode mode) override;
    // 0: a container's size is not known in advance.
    qint64 size() const override;
    // Does nothing: a container is read once, front to back.
    bool reset() override;

    // The payload IV; empty without encryption.
    virtual QByteArray iv() const = 0;
    virtual bool useCompression() const = 0;
    virtual bool useEncryption() const = 0;

protected:
    // Builds and opens the inner streams over the open source; false (with the error string
    // set) when the container cannot be made or read.
    virtual bool init() = 0;

    // Opens an inner stage, taking over its error string when it fails.
    bool openStage(QIODevice& stage, OpenMode mode);
    // Reads from the stage that yields this stream's bytes; an exception sets the error string
    // to its message and goes on to the caller.
    qint64 readStage(QIODevice& stage, char* data, qint64 maxSize);

    // For the unpackages: runs the reading of a container's head, turning every exception into
    // false with an error line and the error string (InvalidData keeps its message).
    bool readingHead(const std::function<bool()>& read);
    // Logs the message as an error line, makes it the error string, returns false.
    bool refuse(const QString& message);
    // Moves the source to where the payload starts, unless it already stands there. A sequential
    // source has no position to check: the head was read from it field by field.
    bool checkPosition(quint32 expected);

    const QByteArray password_;
};

} // namespace ZRV::Stream::FileContainer
