#include "support/logcapture.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex mutex;
QByteArray capturedCategory;
QList<LogCapture::Line> captured;

void record(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    QMutexLocker lock(&mutex);
    if (context.category && capturedCategory == context.category)
        captured.append({type, text});
}

} // namespace

LogCapture::LogCapture(const char* category)
{
    QMutexLocker lock(&mutex);
    capturedCategory = category;
    captured.clear();
    previous_ = qInstallMessageHandler(record);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous_);
}

QList<LogCapture::Line> LogCapture::lines() const
{
    QMutexLocker lock(&mutex);
    return captured;
}

QStringList LogCapture::texts() const
{
    QStringList result;
    for (const Line& line : lines())
        result << line.text;
    return result;
}

bool LogCapture::contains(QtMsgType type, const QString& text) const
{
    for (const Line& line : lines())
        if (line.type == type && line.text == text)
            return true;
    return false;
}
