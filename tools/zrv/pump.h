#pragma once

#include <QIODevice>

class ProgressMeter;

// Reads `from` until it is at its end and writes everything to `to` (when given), in blocks
// of 1 MiB. Returns the byte count. Throws ToolError on a failed read or write; exceptions of
// the library's streams pass through.
qint64 pump(QIODevice& from, QIODevice* to, ProgressMeter& progress);
