#include "restorecommand.h"

#include "backuprepository.h"
#include "outputtarget.h"
#include "passwordsource.h"
#include "progressmeter.h"
#include "pump.h"

#include "blocklevel/revisionstream.h"

using namespace ZRV::Stream::BlockLevel;

QString RestoreCommand::description() const
{
    return QStringLiteral("Rebuild one revision of the backup in REPO into OUT: a file (appearing only once the "
                          "whole revision was restored and checked, zero blocks left as holes), a block device "
                          "(written in place), a FIFO, or - for standard output.");
}

void RestoreCommand::addOptions(QCommandLineParser& parser) const
{
    parser.addOption(revisionOption(QStringLiteral("The revision to restore (default: the newest).")));
    parser.addOption(passwordFileOption());
    parser.addOption(jobsOption());
}

int RestoreCommand::run(const QCommandLineParser& parser) const
{
    const BackupRepository repository(parser.positionalArguments().at(0), PasswordSource(passwordFile(parser)));
    const int workers = jobs(parser);
    const unsigned int revision = Command::revision(parser) ? Command::revision(parser) : repository.newestRevision();
    if (!repository.revisions().contains(revision))
        throw ToolError(ToolError::Failure,
                        revision ? QStringLiteral("%1 has no revision %2").arg(repository.path()).arg(revision)
                                 : QStringLiteral("%1 holds no revision").arg(repository.path()));

    // The map of an authenticated repository is checked with its keys, so the password comes
    // first there; elsewhere the target is refused (a terminal, a device too small) before a
    // password is asked for.
    const auto map = repository.openMap(revision);
    OutputTarget target(parser.positionalArguments().at(1), qint64(map->length()), true);
    RevisionStream restored(map, repository.dataFiles(map), repository.readPassword(*map), nullptr);
    const RepositoryKeys keys = repository.keys();
    if (keys.isValid())
        restored.setRepositoryKeys(keys);
    restored.setWorkerCount(workers);
    if (!restored.open(QIODevice::ReadOnly))
        throw ToolError(ToolError::Failure,
                        QStringLiteral("cannot restore revision %1: %2").arg(revision).arg(restored.errorString()));
    ProgressMeter progress(QStringLiteral("restore"), restored.size(), quiet(parser));
    pump(restored, &target.device(), progress);
    target.commit();
    return 0;
}
