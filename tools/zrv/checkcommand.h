#pragma once

#include "command.h"

class CheckCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("check"); }
    QString arguments() const override { return QStringLiteral("REPO"); }
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) const override;
};
