#pragma once

#include "command.h"

class InfoCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("info"); }
    QString arguments() const override { return QStringLiteral("IN"); }
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) const override;
};
