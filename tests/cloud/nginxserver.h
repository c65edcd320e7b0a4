#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// An nginx of the test's own on a free loopback port, serving the files of `root`:
//   /name          the file, with byte ranges
//   /slow/name     the same at 256 KiB/s per connection
//   /flaky/name    the same, but 503 while flagFailing(range) has been called for the request's Range
//   /broken/name   always 500
class NginxServer
{
public:
    explicit NginxServer(const QString& root);
    ~NginxServer();

    // Empty when nginx is not installed.
    static QString executable();

    // Starts nginx and waits until it accepts connections; on failure says why in `error`.
    bool start(QString* error);
    // "http://127.0.0.1:<port>" followed by `location`.
    QString url(const QString& location = QString()) const;
    void flagFailing(const QString& range, bool failing);
    // The Range headers of the requests logged so far for `uri`, in log order.
    QStringList rangesRequested(const QString& uri) const;

private:
    const QString root_;
    QTemporaryDir work_;
    QProcess process_;
    quint16 port_ = 0;
};
