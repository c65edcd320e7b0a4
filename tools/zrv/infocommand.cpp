#include "infocommand.h"

#include "cipherchoice.h"
#include "containerinput.h"

#include "core/encryption/key.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cstdio>

QString InfoCommand::description() const
{
    return QStringLiteral("Show what a container's header records.");
}

void InfoCommand::addOptions(QCommandLineParser& parser) const
{
    parser.addOption(jsonOption());
}

int InfoCommand::run(const QCommandLineParser& parser) const
{
    const ContainerInput input(parser.positionalArguments().at(0));
    const ContainerInput::Summary& summary = input.summary();
    const auto cipher = ZRV::Core::Encryption::Algorithm(summary.cipher);

    struct Field
    {
        const char* key;
        const char* label;
        QJsonValue value;
    };
    const Field fields[] = {
        {"version", "version", summary.version},
        {"compression", "compression", summary.compressed ? "gzip" : "none"},
        {"cipher", "cipher", CipherChoice::name(cipher)},
        {"keyBits", "key bits", ZRV::Core::Encryption::Key::length(cipher) * 8},
        {"kdfIterations", "kdf iterations", summary.kdfIterations},
        {"dataSize", "data size", qint64(summary.dataSize)},
        {"headerSize", "header size", summary.headerSize},
        {"integrity", "integrity", input.authenticated() ? "HMAC-SHA-256" : "none"},
    };
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonObject object;
        for (const Field& field : fields)
            object.insert(QLatin1String(field.key), field.value);
        printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
        return 0;
    }
    for (const Field& field : fields)
        printf("%-16s%s\n", qPrintable(QStringLiteral("%1:").arg(QLatin1String(field.label))),
               qPrintable(field.value.toVariant().toString()));
    return 0;
}
