#include "containerreader.h"

#include "containerinput.h"
#include "passwordsource.h"
#include "progressmeter.h"
#include "pump.h"
#include "toolerror.h"

#include "filecontainer/version1/unpackage.h"
#include "filecontainer/version2/unpackage.h"

#include <QStringList>

using namespace ZRV::Stream::FileContainer;

QString ContainerReader::read(const QString& in, QIODevice* out, const PasswordSource& passwords, bool allowUnencrypted,
                              bool quiet)
{
    const ContainerInput input(in);
    if (!input.encrypted() && passwords.supplied() && !allowUnencrypted)
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 is not encrypted although a password was given: it may have been swapped "
                                       "or altered (--allow-unencrypted reads it anyway)")
                            .arg(in));
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
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 is damaged: it holds %2 bytes where its header "
                                       "recorded %3")
                            .arg(in)
                            .arg(total)
                            .arg(recorded));
    if (input.authenticated())
        return {};
    QStringList checked;
    if (input.summary().compressed)
        checked << QStringLiteral("the gzip stream");
    if (recorded != 0)
        checked << QStringLiteral("the recorded size");
    return QStringLiteral("it has no integrity tag (%1), so a change that keeps it well-formed cannot be detected; "
                          "checked: %2")
        .arg(input.version() == 1 ? QStringLiteral("version 1") : QStringLiteral("not encrypted"),
             checked.isEmpty() ? QStringLiteral("nothing but its header") : checked.join(QLatin1String(" and ")));
}
