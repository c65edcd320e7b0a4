// Reads arbitrary bytes as the lock object of a repository in an object store with
// LockHolder::decode. Checks: an accepted lock names a holder completely, and encoding it gives a
// lock that reads back as the same holder.
#include "fuzzinput.h"

#include "lockholder.h"

using namespace ZRV::Fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quietLogging();
    const std::optional<LockHolder> holder = LockHolder::decode(inputBytes(data, size));
    if (!holder)
        return 0;
    require(holder->pid > 0 && !holder->host.isEmpty() && !holder->token.isEmpty(), "a lock without its holder");
    const std::optional<LockHolder> again = LockHolder::decode(holder->encode());
    require(again && again->pid == holder->pid && again->host == holder->host && again->token == holder->token
                && again->since == holder->since && again->refreshed == holder->refreshed,
            "an accepted lock does not read back as itself");
    return 0;
}
