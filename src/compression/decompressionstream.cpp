#include "compression/decompressionstream.h"

#include "compression/compressorbase.h"
#include "compression/exception/compressor.h"
#include "core/zrvdebug.h"

namespace ZRV::Stream {

DecompressionStream::DecompressionStream(QSharedPointer<QIODevice> source, ZRV::Core::Compression::Algorithm algorithm,
                                         QObject* parent)
    : EngineStream(std::move(source), algorithm, false, parent)
{
}

qint64 DecompressionStream::readData(char* data, qint64 maxSize)
{
    if (!engine_)
        return -1;
    try {
        return engine_->readData(data, maxSize);
    } catch (const Compression::Exception::Compressor& error) {
        ZrvDebug("TXK").error() << "DecompressionStream: (de)compressor return stream error"
                                << "message:" << error.message();
        return stopWithError(error.message());
    } catch (...) {
        ZrvDebug("TXK").error() << "DecompressionStream: (de)compressor return stream error";
    }
    return stopWithError(tr("DecompressionStream: (de)compressor return stream error"));
}

} // namespace ZRV::Stream
