#pragma once

#include "stream/istreamread.h"
#include "zrvstreams_export.h"

#include <QByteArray>
#include <functional>

namespace ZRV::Stream::FileContainer {

namespace V1 {
class Header;
}

// Common ground of the container streams: a read-only sequential stream whose open() opens the
// source and then has init() build the inner chain. A failed init() leaves the stream closed; so
// does an exception out of it, which passes on to the caller. PackageBase and UnpackageBase build
// the chains of the two directions; the version classes add their typed header and key handling.
class ZRVSTREAMS_EXPORT Base : public IStreamRead
{
    Q_OBJECT

public:
    Base(QSharedPointer<QIODevice> source, const QByteArray& password, QObject* parent = nullptr);
    ~Base() override;

    bool isSequential() const override;
    // False, with the source's error text, when the source cannot be opened.
    bool open(OpenMode mode) override;
    // 0: a container's size is not known in advance.
    qint64 size() const override;
    // Does nothing: a container is read once, front to back.
    bool reset() override;

    // The payload IV; empty without encryption.
    virtual QByteArray iv() const = 0;
    // As the header records; false while an unpackage has read no header.
    bool useCompression() const;
    bool useEncryption() const;

    // Before open: how many threads the container's stages may use. With more than one, a
    // package compresses gzip pieces side by side (CompressionStream::setWorkerCount; the
    // payload then differs from the one-worker bytes and is the same for any larger count), and
    // version 2 computes the HMAC, both ways, on a thread of its own beside the caller's, which
    // encrypts or decrypts (Hmacing::BaseStream::setWorkerCount). What validate() checks and
    // when data is handed out stay as with one worker. One, the default, starts no thread.
    void setWorkerCount(int count);
    int workerCount() const;

protected:
    // Builds and opens the inner streams over the open source; false (with the error string
    // set) when the container cannot be made or read.
    virtual bool init() = 0;
    // The container's header, as the fields both versions share: a package's own, or the one an
    // unpackage read; null while there is none.
    virtual const V1::Header* header() const = 0;

    // Opens an inner stage, taking over its error string when it fails.
    bool openStage(QIODevice& stage, OpenMode mode);
    // Reads from the stage that yields this stream's bytes; an exception sets the error string
    // to its message and goes on to the caller, and a read error (-1: damaged gzip data, a
    // failing source) sets it to the stage's error text and is thrown as ErrorOperation.
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

private:
    int workerCount_ = 1;
};

} // namespace ZRV::Stream::FileContainer
