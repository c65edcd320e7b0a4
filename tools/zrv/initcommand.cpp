#include "initcommand.h"

#include "backuprepository.h"
#include "cipherchoice.h"
#include "passwordsource.h"

#include "blocklevel/revisionstream.h"

#include <cstdio>

using namespace ZRV::Stream::BlockLevel;

QString InitCommand::description() const
{
    return QStringLiteral(
        "Create the backup repository REPO (a new directory, an empty one, or s3://BUCKET/PREFIX with nothing below "
        "it) and fix its cipher, "
        "compression and block size. A directory of revisions written by zrv 0.1.0 is adopted "
        "with the settings of its newest revision and keeps its version 4 maps; a new encrypted repository has "
        "authenticated maps.");
}

void InitCommand::addOptions(QCommandLineParser& parser) const
{
    addSettingOptions(parser, true);
    parser.addOption(passwordFileOption());
    parser.addOption({QStringLiteral("kdf-iterations"),
                      QStringLiteral("PBKDF2 rounds of the password check (default 600000, at least 1000); lower "
                                     "only for tests."),
                      QStringLiteral("N"), QString::number(RepositorySettings::DefaultIterations)});
}

int InitCommand::run(const QCommandLineParser& parser) const
{
    const QString path = parser.positionalArguments().at(0);
    const auto cipher = choiceOption(parser, QStringLiteral("cipher"), CipherChoice::backupCiphers());
    const auto compression = choiceOption(parser, QStringLiteral("compress"), compressionChoices());
    const qint64 blockSize = numberOption(parser, QStringLiteral("block-size"), 512);
    if (blockSize > 64 << 20)
        throw ToolError(ToolError::Usage, QStringLiteral("--block-size takes at most 67108864 bytes"));
    const qint64 iterations =
        numberOption(parser, QStringLiteral("kdf-iterations"), RepositorySettings::MinimumIterations);
    if (iterations > RepositorySettings::MaximumIterations)
        throw ToolError(ToolError::Usage,
                        QStringLiteral("--kdf-iterations takes at most %1").arg(RepositorySettings::MaximumIterations));

    RepositoryStore::open(path)->create();
    const BackupRepository repository(path, PasswordSource(passwordFile(parser)));
    if (repository.hasSettings())
        throw ToolError(ToolError::Failure, QStringLiteral("%1 is a repository already").arg(path));

    RepositorySettings settings = RepositorySettings::create(cipher, compression, quint32(blockSize), int(iterations));
    const unsigned int newest = repository.newestRevision();
    if (newest) {
        // Adopting the revisions of zrv 0.1.0: the newest map says what the chain uses; options
        // given must agree with it, and the password must open it.
        const auto map = repository.openMap(newest);
        settings = RepositorySettings::create(map->encryptionAlgorith(), map->compressionAlgorith(), map->blockSize(),
                                              int(iterations), RepositorySettings::Adopted);
        checkSettingOptions(parser, settings, path);
    } else if (!repository.store().isEmpty()) {
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 is neither empty nor a directory of revisions; choose another").arg(path));
    }
    const QByteArray password = settings.encrypted()
        ? PasswordSource(passwordFile(parser)).password(newest ? PasswordSource::Existing : PasswordSource::New)
        : QByteArray();
    if (newest) {
        const auto check = RevisionStream::checkPassword(repository.openMap(newest), password);
        if (!check.first)
            throw ToolError(
                ToolError::Failure,
                QStringLiteral("the password does not open %1: %2").arg(repository.mapPath(newest), check.second));
    }
    QByteArray passwordKey = settings.passwordKey(password);
    settings.seal(passwordKey);
    passwordKey.fill('\0');
    repository.writeSettings(settings);
    if (!quiet(parser))
        printf("%s %s: cipher %s, compression %s, block size %u\n", newest ? "adopted" : "created", qPrintable(path),
               qPrintable(CipherChoice::name(settings.cipher())), qPrintable(compressionName(settings.compression())),
               settings.blockSize());
    return 0;
}
