#include "pump.h"

#include "progressmeter.h"
#include "systemerror.h"
#include "toolerror.h"

#include <QByteArray>

namespace {

QString describe(const QIODevice& device)
{
    return device.errorString().isEmpty() || device.errorString() == QLatin1String("Unknown error")
        ? systemError()
        : device.errorString();
}

} // namespace

qint64 pump(QIODevice& from, QIODevice* to, ProgressMeter& progress, qint64 chunkSize)
{
    QByteArray block(int(chunkSize), Qt::Uninitialized);
    qint64 total = 0;
    // A backup stream returns nothing for a stretch of unchanged blocks; only a stream that
    // neither yields bytes nor moves through its source is stuck.
    int idleReads = 0;
    qint64 lastPosition = from.pos();
    while (!from.atEnd()) {
        const qint64 count = from.read(block.data(), block.size());
        if (count < 0)
            throw ToolError(ToolError::Failure, QStringLiteral("cannot read: %1").arg(describe(from)));
        if (count == 0) {
            const qint64 position = from.pos();
            idleReads = position == lastPosition ? idleReads + 1 : 0;
            lastPosition = position;
            if (idleReads > 1000)
                throw ToolError(ToolError::Failure, QStringLiteral("the input stopped before its end"));
            continue;
        }
        idleReads = 0;
        if (to && to->write(block.constData(), count) != count)
            throw ToolError(ToolError::Failure, QStringLiteral("cannot write: %1").arg(describe(*to)));
        total += count;
        progress.advance(count);
    }
    progress.finish();
    return total;
}
