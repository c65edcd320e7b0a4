#include "pump.h"

#include "progressmeter.h"
#include "toolerror.h"

#include <QByteArray>

qint64 pump(QIODevice& from, QIODevice* to, ProgressMeter& progress, qint64 chunkSize)
{
    QByteArray block(int(chunkSize), Qt::Uninitialized);
    qint64 total = 0;
    while (!from.atEnd()) {
        const qint64 count = from.read(block.data(), block.size());
        if (count < 0)
            throw ToolError(ToolError::Failure, QStringLiteral("read failed: %1").arg(from.errorString()));
        if (count == 0) {
            if (from.atEnd())
                break;
            throw ToolError(ToolError::Failure, QStringLiteral("the input stopped before its end"));
        }
        if (to && to->write(block.constData(), count) != count)
            throw ToolError(ToolError::Failure, QStringLiteral("write failed: %1").arg(to->errorString()));
        total += count;
        progress.advance(count);
    }
    progress.finish();
    return total;
}
