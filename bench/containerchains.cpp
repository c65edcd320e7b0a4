#include "chainregistry.h"

#include "filecontainer/version2/package.h"
#include "filecontainer/version2/unpackage.h"

using namespace ZRV::Stream::FileContainer;
using namespace ZRV::Core::Encryption;

namespace {

const QByteArray password = "zrvbench password";

template <Algorithm algorithm, bool compressed>
QSharedPointer<QIODevice> package(const ChainRegistry::Context& run)
{
    auto package = QSharedPointer<V2::Package>::create(run.input, run.input->size(), algorithm, password, compressed);
    package->setWorkerCount(run.workers);
    return package;
}

QSharedPointer<QIODevice> unpackage(const ChainRegistry::Context& run)
{
    auto unpackage = QSharedPointer<V2::Unpackage>::create(run.input, password);
    unpackage->setWorkerCount(run.workers);
    return unpackage;
}

QString validated(QIODevice& top)
{
    return static_cast<V2::Unpackage&>(top).validate() ? QString() : "the container's HMAC trailer does not match";
}

// One unpackage chain per kind of container, so that each gets its own row; the container says
// what it holds.
const ChainRegistry::Registration chains[] = {
    {"v2-pack-gzip-aes256", "file -> V2::Package(gzip, AES-256)", package<Aes256, true>},
    {"v2-pack-aes256", "file -> V2::Package(AES-256)", package<Aes256, false>},
    {"v2-pack-gzip", "file -> V2::Package(gzip)", package<NoEncryption, true>},
    {"v2-unpack-gzip-aes256", "gzip + AES-256 container -> V2::Unpackage, then validate()", unpackage, validated},
    {"v2-unpack-aes256", "AES-256 container -> V2::Unpackage, then validate()", unpackage, validated},
    {"v2-unpack-gzip", "gzip container -> V2::Unpackage", unpackage, validated},
};

} // namespace
