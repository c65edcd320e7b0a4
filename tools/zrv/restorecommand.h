#pragma once

#include "command.h"

class RestoreCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("restore"); }
    QString arguments() const override { return QStringLiteral("REPO OUT"); }
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) const override;
};
