#pragma once

#include "command.h"

class InitCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("init"); }
    QString arguments() const override { return QStringLiteral("REPO"); }
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) const override;
};
