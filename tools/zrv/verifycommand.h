#pragma once

#include "command.h"

class VerifyCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("verify"); }
    QString arguments() const override { return QStringLiteral("IN"); }
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) const override;
};
