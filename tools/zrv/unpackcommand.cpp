#include "unpackcommand.h"

#include "containerreader.h"
#include "outputtarget.h"
#include "passwordsource.h"

QString UnpackCommand::description() const
{
    return QStringLiteral("Unpack a container of either version (- is standard input or output). A file "
                          "appears only once the whole container was read and checked.");
}

void UnpackCommand::addOptions(QCommandLineParser& parser) const
{
    parser.addOption(passwordFileOption());
    parser.addOption(allowUnencryptedOption());
    parser.addOption(jobsOption());
}

int UnpackCommand::run(const QCommandLineParser& parser) const
{
    OutputTarget target(parser.positionalArguments().at(1));
    ContainerReader::read(parser.positionalArguments().at(0), &target.device(), PasswordSource(passwordFile(parser)),
                          parser.isSet(QStringLiteral("allow-unencrypted")), quiet(parser), jobs(parser));
    target.commit();
    return 0;
}
