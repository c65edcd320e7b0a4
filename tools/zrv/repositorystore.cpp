#include "repositorystore.h"

#include "directorystore.h"
#include "objectstore.h"

std::unique_ptr<RepositoryStore> RepositoryStore::open(const QString& location)
{
    if (const std::optional<ObjectLocation> object = ObjectLocation::parse(location))
        return std::make_unique<ObjectStore>(*object);
    return std::make_unique<DirectoryStore>(location);
}
