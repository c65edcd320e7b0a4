#include "faultproxy.h"

#include <QDeadlineTimer>

FaultProxy::~FaultProxy()
{
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000))
        process_.kill();
    process_.waitForFinished(5000);
}

bool FaultProxy::start(const QString& upstream, QString* error)
{
    process_.start(QStringLiteral("python3"), {QStringLiteral(ZRV_TEST_SOURCE_DIR "/faultproxy.py"), upstream});
    if (!process_.waitForStarted(10000) || !waitForLine(QStringLiteral("port "))) {
        *error =
            QStringLiteral("the fault proxy did not start: %1").arg(QString::fromUtf8(process_.readAllStandardError()));
        return false;
    }
    port_ = lines_.takeLast().mid(5).toInt();
    return true;
}

QString FaultProxy::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port_);
}

bool FaultProxy::add(const QString& rule)
{
    process_.write(rule.toUtf8() + '\n');
    return waitForLine(QStringLiteral("rule ") + rule);
}

QStringList FaultProxy::requests()
{
    // The proxy logs a request before it answers, so its line is in the pipe already.
    while (process_.waitForReadyRead(50)) { }
    while (process_.canReadLine())
        lines_ << QString::fromUtf8(process_.readLine()).trimmed();
    QStringList requests;
    for (const QString& line : lines_)
        if (line.startsWith(QLatin1String("request ")))
            requests << line.mid(8);
    return requests;
}

bool FaultProxy::waitForLine(const QString& prefix)
{
    const QDeadlineTimer deadline(30000);
    for (;;) {
        while (process_.canReadLine()) {
            lines_ << QString::fromUtf8(process_.readLine()).trimmed();
            if (lines_.last().startsWith(prefix))
                return true;
        }
        if (deadline.hasExpired() || !process_.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
}
