#pragma once

#include <QString>

// A failure the tool reports with "zrv: <message>" and ends with `exitCode`
// (1: the operation failed, 2: the command line was wrong).
class ToolError
{
public:
    enum ExitCode { Failure = 1, Usage = 2 };

    ToolError(ExitCode exitCode, QString message)
        : exitCode_(exitCode)
        , message_(std::move(message))
    {
    }

    ExitCode exitCode() const { return exitCode_; }
    QString message() const { return message_; }

private:
    ExitCode exitCode_;
    QString message_;
};
