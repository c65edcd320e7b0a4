#pragma once

#include <QIODevice>

class ProgressMeter;

// Reads `from` until it is at its end and writes everything to `to` (when given), in requests
// of `chunkSize` bytes. Returns the byte count. Throws ToolError on a failed read or write; exceptions of
// the library's streams pass through.
qint64 pump(QIODevice& from, QIODevice* to, ProgressMeter& progress, qint64 chunkSize = 1 << 20);
