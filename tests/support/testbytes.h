#pragma once

#include <QBuffer>
#include <QRandomGenerator>
#include <QSharedPointer>
#include <QVector>
#include <QtEndian>

// Deterministic test inputs: text-like bytes that compress well, and bytes that do not.
inline QByteArray compressibleBytes(int size, quint32 seed = 1)
{
    static const char* const words[] = {"block ", "stream", " map", "\n", "0123", "backup ", "data", "  "};
    QRandomGenerator random(seed);
    QByteArray bytes;
    while (bytes.size() < size)
        bytes += words[random.bounded(8)];
    return bytes.left(size);
}

inline QByteArray randomBytes(int size, quint32 seed = 1)
{
    QVector<quint32> words((size + 3) / 4);
    QRandomGenerator(seed).fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.constData()), size);
}

inline QSharedPointer<QBuffer> bufferWith(const QByteArray& bytes)
{
    auto buffer = QSharedPointer<QBuffer>::create();
    buffer->setData(bytes);
    return buffer;
}

inline QSharedPointer<QBuffer> openBuffer(const QByteArray& bytes)
{
    auto buffer = bufferWith(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

// The bytes with the one at `offset` XORed with `mask`.
inline QByteArray flipped(QByteArray bytes, int offset, quint8 mask = 0x01)
{
    bytes[offset] = char(bytes[offset] ^ mask);
    return bytes;
}

// The bytes with `value` written little-endian at `offset`.
template <typename T>
QByteArray patched(QByteArray bytes, int offset, T value)
{
    qToLittleEndian(value, bytes.data() + offset);
    return bytes;
}

// Reads chunk bytes at a time until atEnd(), or until a read yields nothing; notes each read's size.
inline QByteArray readUntilAtEnd(QIODevice& device, qint64 chunk, QList<qint64>* readSizes = nullptr)
{
    QByteArray all;
    for (qint64 count = 1; count > 0 && !device.atEnd();) {
        const QByteArray bytes = device.read(chunk);
        count = bytes.isEmpty() ? 0 : bytes.size();
        if (readSizes)
            readSizes->append(count);
        all += bytes;
    }
    return all;
}
