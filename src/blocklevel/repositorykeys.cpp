#include "blocklevel/repositorykeys.h"

#include "encryption/keyderivation.h"

namespace ZRV::Stream::BlockLevel {

bool RepositoryKeys::isValid() const
{
    return repositoryId.size() == IdLength && passwordKey.size() == ZRV::Encryption::KeyDerivation::KeyLength;
}

} // namespace ZRV::Stream::BlockLevel
