#include "passwordsource.h"

#include "toolerror.h"

#include <QFile>
#include <cstdio>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

PasswordSource::PasswordSource(QString passwordFile)
    : passwordFile_(std::move(passwordFile))
{
}

QByteArray PasswordSource::password(Purpose purpose) const
{
    // A core dump must not hold the password or the keys derived from it.
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    if (!passwordFile_.isEmpty()) {
        QFile file(passwordFile_);
        if (!file.open(QIODevice::ReadOnly))
            throw ToolError(
                ToolError::Failure,
                QStringLiteral("cannot read the password file %1: %2").arg(passwordFile_, file.errorString()));
        QByteArray line = file.readLine(64 * 1024);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            throw ToolError(ToolError::Failure, QStringLiteral("the password file %1 is empty").arg(passwordFile_));
        return line;
    }
    if (qEnvironmentVariableIsSet("ZRV_PASSWORD")) {
        const QByteArray fromEnvironment = qgetenv("ZRV_PASSWORD");
        if (fromEnvironment.isEmpty())
            throw ToolError(ToolError::Failure, QStringLiteral("ZRV_PASSWORD is set but empty"));
        return fromEnvironment;
    }
    const QByteArray entered = prompt("Password: ");
    if (entered.isEmpty())
        throw ToolError(ToolError::Failure,
                        QStringLiteral("a password is needed (use --password-file, "
                                       "ZRV_PASSWORD or a terminal)"));
    if (purpose == New && prompt("Repeat the password: ") != entered)
        throw ToolError(ToolError::Failure, QStringLiteral("the two passwords differ"));
    return entered;
}

bool PasswordSource::supplied() const
{
    return !passwordFile_.isEmpty() || qEnvironmentVariableIsSet("ZRV_PASSWORD");
}

QByteArray PasswordSource::prompt(const char* question)
{
    FILE* terminal = fopen("/dev/tty", "r+");
    if (!terminal)
        return {};
    fputs(question, terminal);
    fflush(terminal);

    termios saved{};
    const bool echoOff = tcgetattr(fileno(terminal), &saved) == 0;
    if (echoOff) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fileno(terminal), TCSAFLUSH, &silent);
    }
    char buffer[1024];
    const bool gotLine = fgets(buffer, sizeof buffer, terminal) != nullptr;
    if (echoOff)
        tcsetattr(fileno(terminal), TCSAFLUSH, &saved);
    fputs("\n", terminal);
    fclose(terminal);

    QByteArray line = gotLine ? QByteArray(buffer) : QByteArray();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}
