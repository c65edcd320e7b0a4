#pragma once

#include "blocklevel/repositorykeys.h"
#include "core/encryption/algorithm.h"

#include <QByteArray>
#include <QList>

// A block-level backup chain taken in memory: one revision per source state, the first a full run,
// each later one incremental over the previous map. Opening failures leave the chain empty.
struct BackupChain
{
    QList<QByteArray> maps; // map of revision i
    QList<QByteArray> data; // data stream of revision i

    static BackupChain take(const QList<QByteArray>& sourceStates, unsigned int blockSize,
                            ZRV::Core::Compression::Algorithm compression, ZRV::Core::Encryption::Algorithm encryption,
                            const QByteArray& password);
    // The same in an authenticated repository: version 5 maps under keys.
    static BackupChain take(const QList<QByteArray>& sourceStates, unsigned int blockSize,
                            ZRV::Core::Compression::Algorithm compression, ZRV::Core::Encryption::Algorithm encryption,
                            const ZRV::Stream::BlockLevel::RepositoryKeys& keys);

private:
    static BackupChain take(const QList<QByteArray>& sourceStates, unsigned int blockSize,
                            ZRV::Core::Compression::Algorithm compression, ZRV::Core::Encryption::Algorithm encryption,
                            const QByteArray& password, const ZRV::Stream::BlockLevel::RepositoryKeys* keys);
};
