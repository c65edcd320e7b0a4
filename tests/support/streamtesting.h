#pragma once

#include <QBuffer>
#include <QSharedPointer>
#include <gtest/gtest.h>

// Deterministic bytes with no short period.
inline QByteArray pattern(int length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        bytes[i] = char(i * 131 + (i >> 8) * 7 + 1);
    return bytes;
}

inline QSharedPointer<QBuffer> openBuffer(const QByteArray& bytes)
{
    auto buffer = QSharedPointer<QBuffer>::create();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

// Reads until atEnd(), step bytes at a time; bounded, so a fault fails instead of hanging.
inline QByteArray readInSteps(QIODevice& device, qint64 step)
{
    QByteArray output;
    for (int calls = 0; !device.atEnd(); ++calls) {
        if (calls == 1000000) {
            ADD_FAILURE() << "stream never reached its end";
            break;
        }
        output += device.read(step);
    }
    return output;
}
