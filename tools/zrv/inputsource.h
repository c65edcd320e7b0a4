#pragma once

#include <QIODevice>
#include <QSharedPointer>

// Opens a command's input: a file, or standard input for "-" (sequential, cannot seek).
// Throws ToolError when it cannot be opened.
QSharedPointer<QIODevice> openInput(const QString& path);
