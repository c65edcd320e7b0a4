#pragma once

#include <QByteArray>
#include <QString>

// Where the tool takes a password from, in order: a file named on the command line (its first
// line), the environment variable ZRV_PASSWORD, or a prompt on the terminal without echo.
// Never from the command line itself. Asking for a password makes the process non-dumpable.
class PasswordSource
{
public:
    enum Purpose { Existing, New };

    explicit PasswordSource(QString passwordFile);

    // Throws ToolError when no password can be had or a new one is confirmed wrongly.
    QByteArray password(Purpose purpose) const;
    // Whether the user named a password file or set ZRV_PASSWORD.
    bool supplied() const;

private:
    static QByteArray prompt(const char* question);

    QString passwordFile_;
};
