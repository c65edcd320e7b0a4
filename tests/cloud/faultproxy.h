#pragma once

#include <QProcess>
#include <QStringList>

// The fault-injecting proxy faultproxy.py between a test and an S3 store (see there for rules).
class FaultProxy
{
public:
    FaultProxy() = default;
    ~FaultProxy();

    // Starts the proxy in front of `upstream` (http://host:port); false, with the reason in `error`.
    bool start(const QString& upstream, QString* error);
    QString url() const;
    // Adds a rule such as "status GET 2 503" once the proxy has taken it.
    bool add(const QString& rule);
    // "METHOD PATH RANGE -> STATUS" of every request so far.
    QStringList requests();

private:
    // Reads the proxy's output until a line starts with `prefix` or 30 s have passed.
    bool waitForLine(const QString& prefix);

    QProcess process_;
    QStringList lines_;
    int port_ = 0;
};
