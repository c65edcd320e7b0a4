#include "localobjectwriter.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace ZRV::Cloud {

const QString LocalObjectWriter::IncomingPrefix = QStringLiteral(".zrv-incoming-");

namespace {

bool syncFolder(const QString& path)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = descriptor >= 0 && ::fsync(descriptor) == 0;
    if (descriptor >= 0)
        ::close(descriptor);
    return synced;
}

} // namespace

LocalObjectWriter::LocalObjectWriter(const QString& fileName)
    : fileName_(fileName)
    , file_(QFileInfo(fileName).path() + QLatin1Char('/') + IncomingPrefix + QStringLiteral("XXXXXX"))
{
    const QString folder = QFileInfo(fileName).path();
    if (!QDir().mkpath(folder)) {
        setErrorString(tr("cannot make the folder \"%1\"").arg(folder));
        return;
    }
    if (!file_.open()) {
        setErrorString(tr("cannot write into \"%1\": %2").arg(folder, file_.errorString()));
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
    if (file_.write(data, size) != size) {
        setErrorString(tr("cannot write \"%1\": %2").arg(fileName_, file_.errorString()));
        return -1;
    }
    return size;
}

bool LocalObjectWriter::commit()
{
    if (!isOpen())
        return false;
    close();
    // The bytes last before the name points at them; the rename lasts once the folder is synced.
    if (!file_.flush() || ::fsync(file_.handle()) != 0) {
        setErrorString(tr("cannot store \"%1\": %2").arg(fileName_, file_.errorString()));
        file_.remove();
        return false;
    }
    if (::rename(QFile::encodeName(file_.fileName()).constData(), QFile::encodeName(fileName_).constData()) != 0) {
        setErrorString(tr("cannot store \"%1\": %2").arg(fileName_, QString::fromLocal8Bit(std::strerror(errno))));
        file_.remove();
        return false;
    }
    file_.setAutoRemove(false);
    if (!syncFolder(QFileInfo(fileName_).path())) {
        setErrorString(tr("cannot sync the folder of \"%1\"").arg(fileName_));
        return false;
    }
    return true;
}

void LocalObjectWriter::abort()
{
    file_.remove();
    close();
}

} // namespace ZRV::Cloud
