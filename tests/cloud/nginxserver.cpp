#include "nginxserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

NginxServer::NginxServer(const QString& root)
    : root_(QDir(root).absolutePath())
{
}

NginxServer::~NginxServer()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000))
        process_.kill();
    process_.waitForFinished(5000);
}

QString NginxServer::executable()
{
    return QStandardPaths::findExecutable(QStringLiteral("nginx"),
        {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/bin")});
}

bool NginxServer::start(QString* error)
{
    QDir(work_.path()).mkpath(QStringLiteral("flags"));
    // A port found free may be taken before nginx binds it: try a few.
    for (int attempt = 0; attempt < 3; ++attempt)
        if (startOnPort(freeLoopbackPort(), error))
            return true;
    return false;
}

bool NginxServer::startOnPort(quint16 port, QString* error)
{
    const QString work = work_.path();
    const QString config = QStringLiteral(
        "daemon off;\n"
        "master_process off;\n"
        "pid %1/nginx.pid;\n"
        "error_log %1/error.log;\n"
        "events { worker_connections 64; }\n"
        "http {\n"
        "  log_format ranges '$uri $http_range $status';\n"
        "  access_log %1/access.log ranges;\n"
        "  client_body_temp_path %1/body;\n"
        "  proxy_temp_path %1/proxy;\n"
        "  fastcgi_temp_path %1/fastcgi;\n"
        "  uwsgi_temp_path %1/uwsgi;\n"
        "  scgi_temp_path %1/scgi;\n"
        "  server {\n"
        "    listen 127.0.0.1:%2;\n"
        "    root %3;\n"
        "    location /slow/ { alias %3/; limit_rate 256k; }\n"
        "    location /broken/ { return 500; }\n"
        "    location /flaky/ {\n"
        "      alias %3/;\n"
        "      if (-f %1/flags/$http_range) { return 503; }\n"
        "    }\n"
        "  }\n"
        "}\n")
                               .arg(work)
                               .arg(port)
                               .arg(root_);
    QFile file(work + QStringLiteral("/nginx.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0) {
        *error = file.errorString();
        return false;
    }
    file.close();

    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(executable(),
        {QStringLiteral("-p"), work, QStringLiteral("-e"), work + QStringLiteral("/error.log"), QStringLiteral("-c"),
            file.fileName()});
    if (!process_.waitForStarted(5000)) {
        *error = process_.errorString();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(200)) {
            port_ = port;
            return true;
        }
        process_.waitForFinished(50);
    }
    process_.kill();
    process_.waitForFinished(5000);
    QFile log(work + QStringLiteral("/error.log"));
    log.open(QIODevice::ReadOnly);
    *error = QString::fromUtf8(process_.readAll() + log.readAll());
    return false;
}

QString NginxServer::url(const QString& location) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(location);
}

void NginxServer::flagFailing(const QString& range, bool failing)
{
    QFile flag(work_.path() + QStringLiteral("/flags/") + range);
    if (failing)
        flag.open(QIODevice::WriteOnly);
    else
        flag.remove();
}

QStringList NginxServer::rangesRequested(const QString& uri) const
{
    QFile log(work_.path() + QStringLiteral("/access.log"));
    QStringList ranges;
    if (!log.open(QIODevice::ReadOnly))
        return ranges;
    while (!log.atEnd()) {
        const QList<QByteArray> fields = log.readLine().trimmed().split(' ');
        if (fields.size() == 3 && fields[0] == uri.toUtf8())
            ranges << QString::fromLatin1(fields[1]);
    }
    return ranges;
}
