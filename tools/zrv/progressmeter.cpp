#include "progressmeter.h"

#include <cstdio>
#include <unistd.h>

namespace {

QString humanBytes(double bytes)
{
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(bytes, 0, 'f', unit == 0 ? 0 : 1).arg(units[unit]);
}

} // namespace

ProgressMeter::ProgressMeter(QString label, qint64 expectedBytes, bool quiet)
    : label_(std::move(label))
    , expectedBytes_(expectedBytes)
    , enabled_(!quiet && isatty(STDERR_FILENO))
{
    sinceStart_.start();
}

ProgressMeter::~ProgressMeter()
{
    finish();
}

void ProgressMeter::advance(qint64 bytes)
{
    doneBytes_ += bytes;
    if (enabled_ && (lastDrawMs_ < 0 || sinceStart_.elapsed() - lastDrawMs_ >= 200))
        draw(false);
}

void ProgressMeter::finish()
{
    if (enabled_ && !finished_)
        draw(true);
    finished_ = true;
}

void ProgressMeter::draw(bool final)
{
    lastDrawMs_ = sinceStart_.elapsed();
    const double seconds = qMax<qint64>(lastDrawMs_, 1) / 1000.0;
    const double rate = doneBytes_ / seconds;
    QString line = QStringLiteral("%1: %2  %3/s").arg(label_, humanBytes(doneBytes_), humanBytes(rate));
    if (expectedBytes_ > 0 && !final && rate > 0) {
        const qint64 left = qint64((expectedBytes_ - qMin(doneBytes_, expectedBytes_)) / rate);
        line += QStringLiteral("  %1% , %2:%3 left")
                    .arg(100 * qMin(doneBytes_, expectedBytes_) / expectedBytes_)
                    .arg(left / 60)
                    .arg(left % 60, 2, 10, QLatin1Char('0'));
    }
    fprintf(stderr, "\r\033[K%s%s", qPrintable(line), final ? "\n" : "");
    fflush(stderr);
}
