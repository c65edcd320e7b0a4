#pragma once

#include "blocklevel/repositorykeys.h"

#include <QBuffer>
#include <QByteArray>
#include <QSharedPointer>
#include <cstddef>
#include <cstdint>

// Helpers shared by the fuzz targets: input devices, a reader that varies its request sizes, and
// the checks that turn a wrong answer into a crash the fuzzer keeps.
namespace ZRV::Fuzz {

// Drops Qt and library log lines: they would flood the fuzzer's output and slow it down.
void quietLogging();

// The bytes as an open, read-only buffer (a copy, so the device may outlive the fuzzer's input).
QSharedPointer<QBuffer> inputDevice(const QByteArray& bytes);
QByteArray inputBytes(const uint8_t* data, size_t size);

// A request pattern in one input byte: bits 0-3 pick the first request size from a table of
// sizes around the readers' boundaries, bits 4-6 the stride through that table, bit 7 an
// unbuffered open. LargeReads asks for 1 MiB + 1 every time, through Qt's buffer.
const quint8 LargeReads = 10;
QIODevice::OpenMode openMode(quint8 pattern);

struct Drained
{
    QByteArray head; // the first HeadLimit bytes read
    QByteArray digest; // SHA-256 of every byte read
    qint64 size = 0;
    bool atEnd = false; // the device reported atEnd()
    bool readFailed = false; // a read returned -1
    bool capped = false; // stopped at a limit
};
const qint64 HeadLimit = 1 << 20;
// Sparse maps and unused blocks make a few kilobytes restore to gigabytes of zeros: reading stops
// after OutputLimit bytes or ReadLimit requests.
const qint64 OutputLimit = qint64(16) << 20;
const int ReadLimit = 200000;

// Reads until atEnd(), a failed read or a limit, in requests that follow pattern. A device that
// neither ends nor delivers over many reads would hang every caller that reads until atEnd():
// that is reported as a crash. Exceptions from the device pass through.
Drained drain(QIODevice& device, quint8 pattern);

// Reports a broken contract and aborts, so that the fuzzer records the input.
[[noreturn]] void fail(const char* what);
inline void require(bool condition, const char* what)
{
    if (!condition)
        fail(what);
}

// The keys of the authenticated repository that the block-level targets and their seeds share.
ZRV::Stream::BlockLevel::RepositoryKeys repositoryKeys();

} // namespace ZRV::Fuzz
