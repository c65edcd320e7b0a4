#include "containerreader.h"

#include "commandinput.h"
#include "passwordsource.h"
#include "progressmeter.h"
#include "pump.h"
#include "toolerror.h"

#include "core/exception/base.h"
#include "filecontainer/openunpackage.h"
#include "filecontainer/version2/unpackage.h"

#include <QStringList>

using namespace ZRV::Stream::FileContainer;

QString ContainerReader::read(const QString& in, QIODevice* out, const PasswordSource& passwords, bool allowUnencrypted,
                              bool quiet, int workers)
{
    const QSharedPointer<QIODevice> input = CommandInput::open(in);
    // The password is asked for only when the header announces encryption.
    bool encrypted = false;
    const QSharedPointer<UnpackageBase> unpackage = openUnpackage(
        input,
        [&] {
            encrypted = true;
            return passwords.password(PasswordSource::Existing);
        },
        workers);
    // Before the password was asked for, nothing of a header was recognized.
    if (!unpackage->isOpen())
        throw ToolError(ToolError::Failure,
                        encrypted ? QStringLiteral("cannot open %1: %2").arg(in, unpackage->errorString())
                                  : QStringLiteral("%1 is not a container, or its header is damaged (%2)")
                                        .arg(in, unpackage->errorString()));
    if (!encrypted && passwords.supplied() && !allowUnencrypted)
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 is not encrypted although a password was given: it may have been swapped "
                                       "or altered (--allow-unencrypted reads it anyway)")
                            .arg(in));
    const bool version2 = qobject_cast<V2::Unpackage*>(unpackage.data()) != nullptr;
    const unsigned long long recorded = unpackage->realSize();
    ProgressMeter progress(QStringLiteral("unpack"), qint64(recorded), quiet);
    qint64 total = 0;
    try {
        total = pump(*unpackage, out, progress);
    } catch (const ZRV::Exception::Base& exception) {
        throw ToolError(ToolError::Failure, QStringLiteral("%1: %2").arg(in, exception.message()));
    } catch (const ToolError&) {
        // A failed read of the container names the container; a failed write speaks for itself.
        if (unpackage->errorString().isEmpty() || unpackage->errorString() == QLatin1String("Unknown error"))
            throw;
        throw ToolError(ToolError::Failure, QStringLiteral("%1: %2").arg(in, unpackage->errorString()));
    }
    // Packing from a pipe records no size.
    if (recorded != 0 && recorded != static_cast<unsigned long long>(total))
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 is damaged: it holds %2 bytes where its header recorded %3")
                            .arg(in)
                            .arg(total)
                            .arg(recorded));
    if (!unpackage->validate())
        throw ToolError(ToolError::Failure,
                        QStringLiteral("%1 is damaged or was altered: its integrity tag does not match").arg(in));
    // Only an encrypted version 2 container carries a header tag and an HMAC trailer.
    if (version2 && encrypted)
        return {};
    QStringList checked;
    checked << QStringLiteral("the stored data");
    if (recorded != 0)
        checked << QStringLiteral("the recorded size");
    return QStringLiteral("it has no integrity tag (%1), so a change that keeps it well-formed cannot be detected; "
                          "checked: %2")
        .arg(version2 ? QStringLiteral("not encrypted") : QStringLiteral("version 1"),
             checked.join(QLatin1String(" and ")));
}
