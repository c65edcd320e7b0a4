#pragma once

#include <QIODevice>
#include <QSharedPointer>

// What a container command reads: a stored object named s3://BUCKET/KEY (read in ranges with
// read-ahead), else a SourceDevice (a file, a device, a FIFO, or - for standard input).
class CommandInput
{
public:
    // Open for reading; throws ToolError naming the input and the cause.
    static QSharedPointer<QIODevice> open(const QString& name);
};
