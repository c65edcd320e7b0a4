#include "checkcommand.h"

#include "backuprepository.h"
#include "passwordsource.h"

#include "blocklevel/revisionstream.h"
#include "core/exception/base.h"

#include <QDataStream>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <functional>

using namespace ZRV::Stream::BlockLevel;

namespace {

struct Problem
{
    qint64 block; // -1: not tied to one block
    QString file;
    QString text;
};

// The data file that holds `block` of the revision, or the map itself when the record is unused or unreadable.
QString fileOfBlock(const BackupRepository& repository, unsigned int revision, qint64 block)
{
    try {
        const auto map = repository.openMap(revision);
        if (block >= 0 && quint64(block) < map->blockCount()
            && map->seek(map->pos() + block * MapStream::Data::DataBlockSize)) {
            MapStream::Data record;
            QDataStream records(map.data());
            records >> record;
            if (record.isUsed())
                return repository.dataPath(record.revision());
        }
    } catch (const ToolError&) {
    }
    return repository.mapPath(revision);
}

// Reads the revision end to end as a restore would, writing nothing.
QList<Problem> checkRevision(const BackupRepository& repository, unsigned int revision,
                             const std::function<QByteArray(const MapStream&)>& password, int workers)
{
    QList<Problem> problems;
    QSharedPointer<MapStream> map;
    try {
        for (const auto& missing : repository.missingData(revision))
            problems << Problem{-1, missing.first, missing.second};
        map = repository.openMap(revision);
        repository.checkEncryption(*map);
    } catch (const ToolError& error) {
        return problems << Problem{-1, repository.mapPath(revision), error.message()};
    }
    if (!problems.isEmpty())
        return problems;
    const unsigned int blockSize = map->blockSize();
    QString failure;
    RevisionStream restored(map, repository.dataFiles(map), password(*map), nullptr);
    const RepositoryKeys keys = repository.keys();
    if (keys.isValid())
        restored.setRepositoryKeys(keys);
    restored.setWorkerCount(workers);
    try {
        if (!restored.open(QIODevice::ReadOnly))
            return problems << Problem{-1, repository.mapPath(revision), restored.errorString()};
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        while (!restored.atEnd()) {
            if (restored.read(buffer.data(), buffer.size()) < 0) {
                failure = restored.errorString();
                break;
            }
        }
    } catch (const ZRV::Exception::Base& exception) {
        failure = exception.message();
    }
    if (!failure.isNull()) {
        const qint64 block = blockSize ? restored.pos() / blockSize : -1;
        problems << Problem{block, fileOfBlock(repository, revision, block), failure};
    }
    return problems;
}

} // namespace

QString CheckCommand::description() const
{
    return QStringLiteral("Read every revision in REPO (or one) end to end as a restore would, writing nothing, and "
                          "report each problem with its revision, block and file. Exit 0 when all is sound.");
}

void CheckCommand::addOptions(QCommandLineParser& parser) const
{
    parser.addOption(revisionOption(QStringLiteral("Check only revision N.")));
    parser.addOption(jsonOption());
    parser.addOption(passwordFileOption());
    parser.addOption(jobsOption());
}

int CheckCommand::run(const QCommandLineParser& parser) const
{
    const BackupRepository repository(parser.positionalArguments().at(0), PasswordSource(passwordFile(parser)));
    const bool json = parser.isSet(QStringLiteral("json"));
    const int workers = jobs(parser);
    QList<unsigned int> revisions = repository.revisions();
    if (const unsigned int only = revision(parser)) {
        if (!revisions.contains(only))
            throw ToolError(ToolError::Failure,
                            QStringLiteral("%1 has no revision %2").arg(repository.path()).arg(only));
        revisions = {only};
    }
    if (repository.hasSettings())
        repository.settings(); // a damaged settings file is a problem of its own
    const QString notAuthenticated = repository.notAuthenticated();
    if (!notAuthenticated.isEmpty() && !quiet(parser))
        fprintf(stderr, "zrv: %s\n", qPrintable(notAuthenticated));
    // Asked for once, when the first encrypted revision needs it.
    QByteArray known;
    const auto password = [&](const MapStream& map) {
        if (known.isEmpty() && map.useEncryption())
            known = repository.readPassword(map);
        return known;
    };

    bool sound = true;
    QJsonArray report;
    for (unsigned int revision : revisions) {
        const QList<Problem> problems = checkRevision(repository, revision, password, workers);
        sound = sound && problems.isEmpty();
        QJsonArray list;
        for (const Problem& problem : problems) {
            QJsonObject entry{{"file", problem.file}, {"problem", problem.text}};
            if (problem.block >= 0)
                entry.insert(QStringLiteral("block"), problem.block);
            list.append(entry);
            if (!json)
                printf("revision %u: %s%s: %s\n", revision,
                       problem.block >= 0 ? qPrintable(QStringLiteral("block %1, ").arg(problem.block)) : "",
                       qPrintable(problem.file), qPrintable(problem.text));
        }
        if (json)
            report.append(QJsonObject{{"revision", qint64(revision)}, {"ok", problems.isEmpty()}, {"problems", list}});
        else if (problems.isEmpty() && !quiet(parser))
            printf("revision %u: OK\n", revision);
    }
    if (json)
        printf("%s\n", QJsonDocument(report).toJson(QJsonDocument::Compact).constData());
    return sound ? 0 : ToolError::Failure;
}
