#include "containerreader.h"

#include "containerinput.h"
#include "passwordsource.h"
#include "progressmeter.h"
#include "pump.h"
#include "toolerror.h"

#include "filecontainer/version1/unpackage.h"
#include "filecontainer/version2/unpackage.h"

using namespace ZRV::Stream::FileContainer;

void ContainerReader::read(const QString& in, QIODevice* out, const PasswordSource& passwords, bool quiet)
{
    const ContainerInput input(in);
    const QByteArray password = input.encrypted() ? passwords.password(PasswordSource::Existing) : QByteArray();

    QSharedPointer<V2::Unpackage> version2;
    QSharedPointer<V1::Unpackage> version1;
    QSharedPointer<Base> unpackage;
    if (input.version() == 2)
        unpackage = version2 = QSharedPointer<V2::Unpackage>::create(input.device(), password, nullptr);
    else
        unpackage = version1 = QSharedPointer<V1::Unpackage>::create(input.device(), password, nullptr);
    if (!unpackage->open(QIODevice::ReadOnly))
        throw ToolError(ToolError::Failure, QStringLiteral("cannot open %1: %2").arg(in, unpackage->errorString()));

    const unsigned long long recorded = version2 ? version2->realSize() : version1->realSize();
    ProgressMeter progress(QStringLiteral("unpack"), qint64(recorded), quiet);
    const qint64 total = pump(*unpackage, out, progress);

    if (version2 && !version2->validate())
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 is damaged or was altered: its integrity tag does not match").arg(in));
    // Packing from a pipe records no size.
    if (recorded != 0 && recorded != static_cast<unsigned long long>(total))
        throw ToolError(ToolError::Failure, QStringLiteral("%1 is damaged: it holds %2 bytes where its header "
                                                           "recorded %3")
                                                .arg(in)
                                                .arg(total)
                                                .arg(recorded));
}
