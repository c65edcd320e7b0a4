#include "verifycommand.h"

#include "containerreader.h"
#include "passwordsource.h"

#include <cstdio>

QString VerifyCommand::description() const
{
    return QStringLiteral("Read a whole container and check it (decryption, decompression, integrity tag) "
                          "without writing anything.");
}

void VerifyCommand::addOptions(QCommandLineParser& parser) const
{
    parser.addOption(passwordFileOption());
    parser.addOption(allowUnencryptedOption());
    parser.addOption(jobsOption());
}

int VerifyCommand::run(const QCommandLineParser& parser) const
{
    const QString in = parser.positionalArguments().at(0);
    const QString unchecked =
        ContainerReader::read(in, nullptr, PasswordSource(passwordFile(parser)),
                              parser.isSet(QStringLiteral("allow-unencrypted")), quiet(parser), jobs(parser));
    if (!quiet(parser) && unchecked.isEmpty())
        printf("%s: OK, integrity tag verified\n", qPrintable(in));
    else if (!quiet(parser))
        printf("%s: readable, but %s\n", qPrintable(in), qPrintable(unchecked));
    return 0;
}
