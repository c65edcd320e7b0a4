#include "chainregistry.h"

ChainRegistry::Registration::Registration(const char* name, const char* description, Builder build, Check check)
{
    registry()[QString::fromLatin1(name)] = Chain{QString::fromLatin1(description), std::move(build), std::move(check)};
}

const std::map<QString, ChainRegistry::Chain>& ChainRegistry::chains()
{
    return registry();
}

// Built on first use, so registrations from other files' static objects find it ready.
std::map<QString, ChainRegistry::Chain>& ChainRegistry::registry()
{
    static std::map<QString, Chain> chains;
    return chains;
}
