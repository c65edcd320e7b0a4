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
    parser.addOption({QStringLiteral("password-file"), QStringLiteral("Read the password from the first line of FILE."),
                      QStringLiteral("FILE")});
}

int VerifyCommand::run(const QCommandLineParser& parser) const
{
    const QString in = parser.positionalArguments().at(0);
    ContainerReader::read(in, nullptr, PasswordSource(passwordFile(parser)), quiet(parser));
    if (!quiet(parser))
        printf("%s: OK\n", qPrintable(in));
    return 0;
}
