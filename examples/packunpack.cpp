// Packs a file into a compressed, AES-256-encrypted version 2 container, then unpacks the
// container again and checks its integrity:
//   ZRV_PASSWORD=... packunpack INPUT CONTAINER OUTPUT
#include "core/exception/base.h"
#include "filecontainer/version2/package.h"
#include "filecontainer/version2/unpackage.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>

using namespace ZRV::Stream::FileContainer;

namespace {

// Reads the stream to its end into a new file at path.
bool copyToFile(QIODevice& stream, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    while (!stream.atEnd()) {
        const qint64 count = stream.read(buffer.data(), buffer.size());
        if (count < 0 || file.write(buffer.constData(), count) != count)
            return false;
    }
    return file.flush();
}

int fail(const QString& what)
{
    std::fprintf(stderr, "packunpack: %s\n", qPrintable(what));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: ZRV_PASSWORD=... packunpack INPUT CONTAINER OUTPUT\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString container = QString::fromLocal8Bit(argv[2]);
    const QString output = QString::fromLocal8Bit(argv[3]);
    const QByteArray password = qgetenv("ZRV_PASSWORD");
    if (password.isEmpty())
        return fail("set the password in ZRV_PASSWORD");

    try {
        // The streams open their sources themselves.
        auto source = QSharedPointer<QFile>::create(input);
        V2::Package package(source, source->size(), ZRV::Core::Encryption::Aes256, password, true, nullptr);
        if (!package.open(QIODevice::ReadOnly) || !copyToFile(package, container))
            return fail(QStringLiteral("cannot pack %1: %2").arg(input, package.errorString()));

        V2::Unpackage unpackage(QSharedPointer<QFile>::create(container), password, nullptr);
        if (!unpackage.open(QIODevice::ReadOnly) || !copyToFile(unpackage, output))
            return fail(QStringLiteral("cannot unpack %1: %2").arg(container, unpackage.errorString()));
        // Only now, with every byte read, is the trailer known.
        if (!unpackage.validate())
            return fail(QStringLiteral("%1 is damaged: its integrity check failed").arg(container));
    } catch (const ZRV::Exception::Base& error) {
        return fail(QString::fromUtf8(error.what()));
    }
    std::printf("packed %s into %s and unpacked it into %s\n", argv[1], argv[2], argv[3]);
    return 0;
}
