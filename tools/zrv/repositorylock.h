#pragma once

// The one writer's hold on a repository, released when destroyed.
class RepositoryLock
{
public:
    virtual ~RepositoryLock() = default;
    // Throws ToolError when the hold was lost to another writer, so the run must not commit.
    virtual void confirm() const { }
};
