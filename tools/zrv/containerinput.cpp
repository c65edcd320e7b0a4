#include "containerinput.h"

#include "commandinput.h"
#include "toolerror.h"

#include "filecontainer/checkversion.h"
#include "filecontainer/version2/header.h"
#include "stream/joinstream.h"

#include <QBuffer>

namespace {

// Far more than any header this library writes; a longer one is not a container of ours.
const qint64 HeadLimit = 64 * 1024;

template <typename Header>
ContainerInput::Summary summarize(const QSharedPointer<QIODevice>& head, int version)
{
    Header header{QByteArray()};
    QDataStream stream(head.data());
    stream >> header;
    head->seek(0);

    ContainerInput::Summary summary;
    summary.version = version;
    summary.compressed = header.compressionInfo() != nullptr;
    if (const auto* encryption = header.encryptionInfo()) {
        summary.cipher = encryption->algorythm();
        summary.kdfIterations = summary.cipher == 6 ? 0 : encryption->kdfIteration();
    }
    summary.dataSize = header.fileSize();
    summary.headerSize = header.getSize();
    return summary;
}

} // namespace

ContainerInput::ContainerInput(const QString& path)
{
    const QSharedPointer<QIODevice> input = CommandInput::open(path);
    QByteArray head;
    while (head.size() < HeadLimit && !input->atEnd()) {
        const QByteArray piece = input->read(HeadLimit - head.size());
        if (piece.isEmpty())
            break;
        head += piece;
    }

    auto headDevice = QSharedPointer<QBuffer>::create();
    headDevice->setData(head);
    headDevice->open(QIODevice::ReadOnly);
    const int version = ZRV::Stream::FileContainer::CheckVersion::check(headDevice);
    if (version == 0)
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 is not a container, or its header is damaged").arg(path));
    summary_ = version == 2 ? summarize<ZRV::Stream::FileContainer::V2::Header>(headDevice, version)
                            : summarize<ZRV::Stream::FileContainer::V1::Header>(headDevice, version);
    device_ = QSharedPointer<ZRV::Stream::JoinStream>::create(QList<QSharedPointer<QIODevice>>{headDevice, input});
}
