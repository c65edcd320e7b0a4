#include "containertesting.h"

#include "filecontainer/version1/package.h"
#include "filecontainer/version2/package.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace ZRV::Stream::FileContainer;

namespace ContainerTesting {

QByteArray sampleData(int size)
{
    QByteArray data;
    data.reserve(size);
    quint32 state = 12345;
    while (data.size() < size) {
        state = state * 1103515245 + 12345;
        data.append(char('a' + (state >> 16) % 7));
    }
    return data;
}

QByteArray readToEnd(QIODevice& device, int chunk)
{
    QByteArray result;
    for (int stalled = 0; !device.atEnd() && stalled < 100;) {
        const QByteArray part = device.read(chunk);
        stalled = part.isEmpty() ? stalled + 1 : 0;
        result += part;
    }
    EXPECT_TRUE(device.atEnd()) << "reads stalled after " << result.size() << " bytes";
    return result;
}

QByteArray pack(int version, ZRV::Core::Encryption::Algorithm algorithm, bool compressed, const QByteArray& data,
                const QByteArray& password)
{
    auto source = QSharedPointer<QBuffer>::create();
    source->setData(data);
    QScopedPointer<Base> package;
    if (version == 1)
        package.reset(new V1::Package(source, data.size(), algorithm, password, compressed, nullptr));
    else
        package.reset(new V2::Package(source, data.size(), algorithm, password, compressed, nullptr));
    EXPECT_TRUE(package->open(QIODevice::ReadOnly)) << package->errorString().toStdString();
    return readToEnd(*package);
}

} // namespace ContainerTesting
