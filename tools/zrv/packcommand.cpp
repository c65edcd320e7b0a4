#include "packcommand.h"

#include "cipherchoice.h"
#include "commandinput.h"
#include "outputtarget.h"
#include "passwordsource.h"
#include "progressmeter.h"
#include "pump.h"

#include "filecontainer/version1/package.h"
#include "filecontainer/version2/package.h"

using namespace ZRV::Stream::FileContainer;

QString PackCommand::description() const
{
    return QStringLiteral("Pack a file into a container (- is standard input or output; s3://BUCKET/KEY an object).");
}

void PackCommand::addOptions(QCommandLineParser& parser) const
{
    parser.addOption({QStringLiteral("format"), QStringLiteral("Container version: 1 or 2 (default 2)."),
                      QStringLiteral("1|2"), QStringLiteral("2")});
    parser.addOption({QStringLiteral("cipher"), CipherChoice::help(CipherChoice::containerCiphers()),
                      QStringLiteral("cipher"), QStringLiteral("aes256")});
    parser.addOption({QStringLiteral("no-compress"), QStringLiteral("Store the data without gzip.")});
    parser.addOption(passwordFileOption());
    parser.addOption(jobsOption());
}

int PackCommand::run(const QCommandLineParser& parser) const
{
    const int format = choiceOption<int>(parser, QStringLiteral("format"), {{"1", 1}, {"2", 2}});
    const auto cipher = choiceOption(parser, QStringLiteral("cipher"), CipherChoice::containerCiphers());
    const bool compress = !parser.isSet(QStringLiteral("no-compress"));
    const QString in = parser.positionalArguments().at(0);
    const QString out = parser.positionalArguments().at(1);

    const QByteArray password = cipher == ZRV::Core::Encryption::NoEncryption
        ? QByteArray()
        : PasswordSource(passwordFile(parser)).password(PasswordSource::New);
    const QSharedPointer<QIODevice> source = CommandInput::open(in);
    const qint64 dataSize = source->isSequential() ? 0 : source->size();

    QSharedPointer<Base> package;
    if (format == 2)
        package = QSharedPointer<V2::Package>::create(source, dataSize, cipher, password, compress, nullptr);
    else
        package = QSharedPointer<V1::Package>::create(source, dataSize, cipher, password, compress, nullptr);
    package->setWorkerCount(jobs(parser));
    if (!package->open(QIODevice::ReadOnly))
        throw ToolError(ToolError::Failure, QStringLiteral("cannot pack %1: %2").arg(in, package->errorString()));

    OutputTarget target(out);
    ProgressMeter progress(QStringLiteral("pack"), dataSize, quiet(parser));
    pump(*package, &target.device(), progress);
    target.commit();
    return 0;
}
