#pragma once

#include <QElapsedTimer>
#include <QString>

// Progress on standard error (bytes, rate, time left), shown only when standard error is a
// terminal and the user did not ask for quiet. Redraws at most a few times a second.
class ProgressMeter
{
public:
    ProgressMeter(QString label, qint64 expectedBytes, bool quiet);
    ~ProgressMeter();

    void advance(qint64 bytes);
    void finish();

private:
    void draw(bool final);

    QString label_;
    qint64 expectedBytes_;
    qint64 doneBytes_ = 0;
    bool enabled_;
    bool finished_ = false;
    QElapsedTimer sinceStart_;
    qint64 lastDrawMs_ = -1;
};
