#include "nginxserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

NginxServer::NginxServer(const QString& root)
    : root_(QDir(root).absolutePath())
{
    QDir(work_.path()).mkpath(QStringLiteral("flags"));
}

NginxServer::~NginxServer()
{
    process_.terminate();
    if (!process_.waitForFinished(5000))
        process_.kill();
    process_.waitForFinished(5000);
}

QString NginxServer::executable()
{
    return QStandardPaths::findExecutable(QStringLiteral("nginx"), {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
}

bool NginxServer::start(QString* error)
{
    const QString work = work_.path();
    // A port found free may be taken before nginx binds it: try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port_ = probe.serverPort();
        probe.close();
        QFile config(work + "/nginx.conf");
        config.open(QIODevice::WriteOnly);
        // nginx checks its temporary directories at start: they must be writable.
        config.write(QStringLiteral("daemon off; master_process off; pid %1/nginx.pid; error_log %1/error.log;\n"
                                    "events { worker_connections 64; }\n"
                                    "http {\n"
                                    "  log_format ranges '$uri $http_range $status'; access_log %1/access.log ranges;\n"
                                    "  client_body_temp_path %1/t1; proxy_temp_path %1/t2; fastcgi_temp_path %1/t3;\n"
                                    "  uwsgi_temp_path %1/t4; scgi_temp_path %1/t5;\n"
                                    "  server {\n"
                                    "    listen 127.0.0.1:%2; root %3;\n"
                                    "    location /slow/ { alias %3/; limit_rate 256k; }\n"
                                    "    location /broken/ { return 500; }\n"
                                    "    location /flaky/ { alias %3/; if (-f %1/flags/$http_range) { return 503; } }\n"
                                    "  }\n"
                                    "}\n")
                         .arg(work)
                         .arg(port_)
                         .arg(root_)
                         .toUtf8());
        config.close();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(executable(), {"-p", work, "-e", work + "/error.log", "-c", config.fileName()});
        const QDeadlineTimer deadline(10000);
        while (process_.waitForStarted(5000) && !deadline.hasExpired()) {
            QTcpSocket connection;
            connection.connectToHost(QHostAddress::LocalHost, port_);
            if (connection.waitForConnected(200))
                return true;
            if (process_.waitForFinished(50))
                break;
        }
        process_.kill();
        process_.waitForFinished(5000);
        QFile log(work + "/error.log");
        log.open(QIODevice::ReadOnly);
        *error = QString::fromUtf8(process_.readAll() + log.readAll());
    }
    return false;
}

QString NginxServer::url(const QString& location) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(location);
}

void NginxServer::flagFailing(const QString& range, bool failing)
{
    QFile flag(work_.path() + "/flags/" + range);
    failing ? flag.open(QIODevice::WriteOnly) : flag.remove();
}

QStringList NginxServer::rangesRequested(const QString& uri) const
{
    QFile log(work_.path() + "/access.log");
    log.open(QIODevice::ReadOnly);
    QStringList ranges;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3 && fields[0] == uri.toUtf8())
            ranges << QString::fromLatin1(fields[1]);
    }
    return ranges;
}
