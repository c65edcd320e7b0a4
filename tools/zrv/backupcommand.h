#pragma once

#include "command.h"

class BackupCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("backup"); }
    QString arguments() const override { return QStringLiteral("SOURCE REPO"); }
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) const override;
};
