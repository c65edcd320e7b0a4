#pragma once

#include "command.h"

class PackCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("pack"); }
    QString arguments() const override { return QStringLiteral("IN OUT"); }
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) const override;
};
