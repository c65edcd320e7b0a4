#include "localobjectwriter.h"

#include <QDir>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

namespace ZRV::Cloud {

LocalObjectWriter::LocalObjectWriter(const QString& fileName)
    : file_(fileName)
{
    const QString folder = QFileInfo(fileName).path();
    if (!QDir().mkpath(folder)) {
        setErrorString(tr("cannot make the folder \"%1\"").arg(folder));
        return;
    }
    if (!file_.open(QIODevice::WriteOnly) || !file_.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        setErrorString(tr("cannot write \"%1\": %2").arg(fileName, file_.errorString()));
        file_.cancelWriting();
        return;
    }
    open(WriteOnly | Unbuffered);
}

LocalObjectWriter::~LocalObjectWriter()
{
    if (isOpen())
        abort();
}

qint64 LocalObjectWriter::writeData(const char* data, qint64 size)
{
    const qint64 written = file_.write(data, size);
    if (written != size) {
        setErrorString(tr("cannot write \"%1\": %2").arg(file_.fileName(), file_.errorString()));
        return -1;
    }
    return written;
}

bool LocalObjectWriter::commit()
{
    if (!isOpen())
        return false;
    close();
    // QSaveFile flushes and syncs the file before the rename; the rename itself lasts once the
    // directory is synced.
    if (!file_.commit()) {
        setErrorString(tr("cannot store \"%1\": %2").arg(file_.fileName(), file_.errorString()));
        return false;
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(file_.fileName()).path());
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = descriptor >= 0 && ::fsync(descriptor) == 0;
    if (descriptor >= 0)
        ::close(descriptor);
    if (!synced) {
        setErrorString(tr("cannot sync the folder of \"%1\"").arg(file_.fileName()));
        return false;
    }
    return true;
}

void LocalObjectWriter::abort()
{
    file_.cancelWriting();
    file_.commit(); // with writing cancelled, removes the temporary file
    close();
}

} // namespace ZRV::Cloud
