#pragma once

#include "command.h"

class FetchCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("fetch"); }
    QString arguments() const override { return QStringLiteral("PATH OUT"); }
    QString description() const override;
    void addOptions(QCommandLineParser& parser) const override;
    int run(const QCommandLineParser& parser) const override;
};
