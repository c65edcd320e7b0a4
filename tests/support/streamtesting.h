#pragma once

#include "support/testbytes.h"

#include <gtest/gtest.h>

// Reads until atEnd(), step bytes at a time, reading on after empty reads; bounded, so a stream
// that never reaches its end fails instead of hanging.
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
