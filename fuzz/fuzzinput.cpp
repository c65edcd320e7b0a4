#include "fuzzinput.h"

#include "encryption/keyderivation.h"

#include <QCryptographicHash>
#include <cstdio>
#include <cstdlib>

namespace ZRV::Fuzz {

namespace {

const qint64 LargestRequest = (1 << 20) + 1;
const qint64 RequestSizes[] = {1, 3, 16, 31, 32, 33, 100, 4096, 16384, 65536, LargestRequest, 7};
const int RequestSizeCount = sizeof(RequestSizes) / sizeof(RequestSizes[0]);
const int StallLimit = 1000;

void dropMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
}

} // namespace

void quietLogging()
{
    static const bool installed = (qInstallMessageHandler(dropMessage), true);
    Q_UNUSED(installed);
}

QByteArray inputBytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), int(size));
}

QSharedPointer<QBuffer> inputDevice(const QByteArray& bytes)
{
    auto device = QSharedPointer<QBuffer>::create();
    device->setData(bytes);
    device->open(QIODevice::ReadOnly);
    return device;
}

QIODevice::OpenMode openMode(quint8 pattern)
{
    return (pattern & 0x80) ? QIODevice::ReadOnly | QIODevice::Unbuffered : QIODevice::OpenMode(QIODevice::ReadOnly);
}

Drained drain(QIODevice& device, quint8 pattern)
{
    Drained result;
    QCryptographicHash digest(QCryptographicHash::Sha256);
    // Kept across calls: a fresh megabyte for every large request costs more than the reader.
    static QByteArray buffer(int(LargestRequest), '\0');
    int index = pattern & 0x0F;
    const int stride = (pattern >> 4) & 0x07;
    int idleReads = 0;
    for (int reads = 0;; ++reads) {
        if (result.size >= OutputLimit || reads == ReadLimit) {
            result.capped = true;
            break;
        }
        if (device.atEnd()) {
            result.atEnd = true;
            break;
        }
        const qint64 request = RequestSizes[index % RequestSizeCount];
        index += stride;
        const qint64 count = device.read(buffer.data(), request);
        if (count < 0) {
            result.readFailed = true;
            break;
        }
        require(count <= request, "read returned more than was asked for");
        if (count == 0 && ++idleReads == StallLimit)
            fail("stream neither ends nor delivers");
        if (count > 0)
            idleReads = 0;
        digest.addData(buffer.constData(), int(count));
        result.head.append(buffer.constData(), int(qMin(count, HeadLimit - result.head.size())));
        result.size += count;
    }
    result.digest = digest.result();
    return result;
}

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

ZRV::Stream::BlockLevel::RepositoryKeys repositoryKeys()
{
    return {QByteArray(16, 'f'), ZRV::Encryption::KeyDerivation::passwordKey("fuzz password", "fuzz salt", 1)};
}

} // namespace ZRV::Fuzz
