#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Runs the built zrv binary the way a user's shell would, and keeps what it said.
struct ZrvRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// `password` empty: ZRV_PASSWORD is not set. `input` goes to standard input.
ZrvRun runZrv(const QStringList& arguments, const QByteArray& password = "secret",
              const QByteArray& input = QByteArray());
