#pragma once

#include <QDir>
#include <QList>
#include <QString>

// A directory of block-level revisions: revision N is the pair N.map and N.data (N in decimal,
// zero-padded to eight digits). A revision exists once its map is in place; a run writes its
// data first and renames its map last, so an interrupted run never becomes visible.
class BackupRepository
{
public:
    // Throws ToolError when the directory cannot be made (create) or does not exist.
    BackupRepository(const QString& path, bool create);

    // Revision numbers in rising order.
    QList<unsigned int> revisions() const;
    // 0 when there is none.
    unsigned int newestRevision() const;

    QString mapPath(unsigned int revision) const;
    QString dataPath(unsigned int revision) const;
    // Where a run writes its map until the run is complete.
    QString incomingMapPath() const;

private:
    QDir directory_;
};
