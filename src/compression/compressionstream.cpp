#include "compression/compressionstream.h"

#include "compression/compressorbase.h"
#include "compression/exception/compressor.h"
#include "core/zrvdebug.h"

namespace ZRV::Stream {

CompressionStream::CompressionStream(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm,
                                     QObject* parent)
    : EngineStream(std::move(source), algorithm, true, parent)
{
}

void CompressionStream::setWorkerCount(int count)
{
    if (isOpen()) {
        ZrvDebug("TXK").warning() << "CompressionStream: worker count set after open";
        return;
    }
    count = qMax(count, 1);
    if (count != workerCount_)
        replaceEngine(count);
    workerCount_ = count;
}

int CompressionStream::workerCount() const
{
    return workerCount_;
}

qint64 CompressionStream::readData(char* data, qint64 maxSize)
{
    if (!engine_)
        return -1;
    try {
        return engine_->readData(data, maxSize);
    } catch (const Compression::Exception::Compressor& error) {
        ZrvDebug("TXK").error() << "CompressionStream: compressor return stream error"
                                << "message:" << error.message();
        return stopWithError(error.message());
    } catch (const std::exception& error) {
        ZrvDebug("TXK").error() << "CompressionStream: (de)compressor return stream error:" << error.what();
    } catch (...) {
        ZrvDebug("TXK").error() << "CompressionStream: (de)compressor return stream error";
    }
    return stopWithError(tr("CompressionStream: (de)compressor return stream error"));
}

} // namespace ZRV::Stream
