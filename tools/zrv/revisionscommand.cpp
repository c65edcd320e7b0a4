#include "revisionscommand.h"

#include "backuprepository.h"
#include "cipherchoice.h"
#include "passwordsource.h"

#include "blocklevel/mapstream.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

using namespace ZRV::Stream::BlockLevel;

QString RevisionsCommand::description() const
{
    return QStringLiteral("List the revisions of the backup in REPO: number, time, source length, blocks, blocks "
                          "and bytes stored by that revision, compression, cipher.");
}

void RevisionsCommand::addOptions(QCommandLineParser& parser) const
{
    parser.addOption(jsonOption());
    parser.addOption(passwordFileOption());
}

int RevisionsCommand::run(const QCommandLineParser& parser) const
{
    const BackupRepository repository(parser.positionalArguments().at(0), PasswordSource(passwordFile(parser)));
    const bool json = parser.isSet(QStringLiteral("json"));
    // A wrong password fails the command, not each revision; the maps of an authenticated
    // repository open only with its keys.
    repository.keys();
    const QString notAuthenticated = repository.notAuthenticated();
    if (!notAuthenticated.isEmpty() && !quiet(parser))
        fprintf(stderr, "zrv: %s\n", qPrintable(notAuthenticated));
    QJsonArray list;
    QList<unsigned int> damaged;
    if (!json)
        printf("%8s  %-19s  %14s  %10s  %10s  %14s  %-5s  %s\n", "revision", "time", "length", "blocks", "stored",
               "stored bytes", "comp", "cipher");
    for (unsigned int revision : repository.revisions()) {
        const QDateTime time = repository.store().modified(BackupRepository::mapName(revision));
        try {
            const auto map = repository.openMap(revision);
            unsigned long long storedBlocks = 0;
            unsigned long long storedBytes = 0;
            repository.forEachRecord(revision, *map, [&](const MapStream::Data& record) {
                if (record.isUsed() && record.revision() == revision) {
                    ++storedBlocks;
                    storedBytes += record.length();
                }
            });
            const QString compression = compressionName(map->compressionAlgorith());
            const QString cipher = CipherChoice::name(map->encryptionAlgorith());
            if (json) {
                list.append(QJsonObject{{"revision", qint64(revision)},
                                        {"time", time.toString(Qt::ISODate)},
                                        {"length", qint64(map->length())},
                                        {"blocks", qint64(map->blockCount())},
                                        {"storedBlocks", qint64(storedBlocks)},
                                        {"storedBytes", qint64(storedBytes)},
                                        {"compression", compression},
                                        {"cipher", cipher}});
            } else {
                printf("%8u  %-19s  %14llu  %10llu  %10llu  %14llu  %-5s  %s\n", revision,
                       qPrintable(time.toString(Qt::ISODate)), map->length(), map->blockCount(), storedBlocks,
                       storedBytes, qPrintable(compression), qPrintable(cipher));
            }
        } catch (const ToolError& error) {
            // One damaged map hides none of the others.
            damaged << revision;
            if (json)
                list.append(QJsonObject{{"revision", qint64(revision)},
                                        {"time", time.toString(Qt::ISODate)},
                                        {"damaged", error.message()}});
            else
                printf("%8u  %-19s  damaged: %s\n", revision, qPrintable(time.toString(Qt::ISODate)),
                       qPrintable(error.message()));
        }
    }
    if (json)
        printf("%s\n", QJsonDocument(list).toJson(QJsonDocument::Compact).constData());
    if (damaged.isEmpty())
        return 0;
    fflush(stdout);
    fprintf(stderr, "zrv: %d damaged revision(s) in %s (zrv check %s tells more)\n", damaged.size(),
            qPrintable(repository.path()), qPrintable(repository.path()));
    return ToolError::Failure;
}
