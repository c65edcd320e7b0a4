// Reads arbitrary bytes as a repository settings file with RepositorySettings::decode.
// Checks: accepted bytes encode back to themselves, authenticated maps come only with
// encryption, and the key derivation rounds of an accepted file stay within their bounds (a
// planted count must not make the password check run for hours).
#include "fuzzinput.h"

#include "repositorysettings.h"
#include "toolerror.h"

using namespace ZRV::Fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quietLogging();
    const QByteArray bytes = inputBytes(data, size);
    try {
        const RepositorySettings settings = RepositorySettings::decode(bytes, QStringLiteral("settings"));
        require(settings.encode() == bytes, "accepted settings do not encode back to their bytes");
        require(!settings.authenticated() || settings.encrypted(), "authenticated maps without encryption");
        require(!settings.encrypted()
                    || (quint32(settings.iterations()) >= RepositorySettings::MinimumIterations
                        && quint32(settings.iterations()) <= RepositorySettings::MaximumIterations),
                "key derivation rounds out of bounds");
        require(settings.id().size() == 16, "a repository id that is not 16 bytes");
    } catch (const ToolError&) {
    }
    return 0;
}
