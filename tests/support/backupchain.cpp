#include "support/backupchain.h"
#include "support/testbytes.h"

#include "blocklevel/differentialfiledatastream.h"
#include "blocklevel/mapstream.h"

using namespace ZRV::Stream::BlockLevel;

BackupChain BackupChain::take(const QList<QByteArray>& sourceStates, unsigned int blockSize,
                              ZRV::Core::Compression::Algorithm compression,
                              ZRV::Core::Encryption::Algorithm encryption, const QByteArray& password)
{
    return take(sourceStates, blockSize, compression, encryption, password, nullptr);
}

BackupChain BackupChain::take(const QList<QByteArray>& sourceStates, unsigned int blockSize,
                              ZRV::Core::Compression::Algorithm compression,
                              ZRV::Core::Encryption::Algorithm encryption, const RepositoryKeys& keys)
{
    return take(sourceStates, blockSize, compression, encryption, QByteArray(), &keys);
}

BackupChain BackupChain::take(const QList<QByteArray>& sourceStates, unsigned int blockSize,
                              ZRV::Core::Compression::Algorithm compression,
                              ZRV::Core::Encryption::Algorithm encryption, const QByteArray& password,
                              const RepositoryKeys* keys)
{
    BackupChain chain;
    for (const QByteArray& source : sourceStates) {
        const unsigned int revision = chain.maps.size();
        auto mapDevice = bufferWith(QByteArray());
        auto outMap = QSharedPointer<MapStream>::create(mapDevice, revision, nullptr);
        outMap->setBlockSize(blockSize);
        QSharedPointer<MapStream> inMap;
        if (revision > 0)
            inMap = QSharedPointer<MapStream>::create(bufferWith(chain.maps.last()), revision - 1, nullptr);
        DifferentialFileDataStream stream(bufferWith(source), outMap, inMap, compression, encryption, password,
                                          nullptr);
        if (keys)
            stream.setRepositoryKeys(*keys);
        if (!stream.open(QIODevice::ReadOnly))
            return BackupChain();
        // A run that finds nothing changed for a while reads empty without being at its end.
        QByteArray stored;
        for (int idleReads = 0; !stream.atEnd() && idleReads < 1000;) {
            const QByteArray chunk = stream.read(1 << 16);
            idleReads = chunk.isEmpty() ? idleReads + 1 : 0;
            stored += chunk;
        }
        chain.data.append(stored);
        if (!outMap->finish())
            return BackupChain();
        chain.maps.append(mapDevice->data());
    }
    return chain;
}
