#pragma once

#include "command.h"

class UnpackCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("unpack"); }
    QString arguments() const override { return QStringLiteral("IN OUT"); }
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) const override;
};
