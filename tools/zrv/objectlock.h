#pragma once

#include "lockholder.h"
#include "objectlocation.h"
#include "repositorylock.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// The writer's lock of a repository in an object store: the object "lock" naming its holder (pid,
// host, since when, last refreshed, a random token; docs/formats.md). Object stores offer no atomic
// create-if-absent, so taking it is: read it; when it is absent, unreadable or stale, write ours;
// read it back after a moment, and hold it only when our token is still there. A thread refreshes
// it every RefreshSeconds while the run lasts; one not refreshed for StaleSeconds, or one of a
// process of this host that is gone, is stale and taken over. Two writers racing within the
// moment between reading and reading back can both believe they hold it: confirm() reads it again
// before the run commits, and the one whose token is gone commits nothing.
class ObjectLock : public RepositoryLock
{
public:
    static constexpr int RefreshSeconds = 20;
    static constexpr int StaleSeconds = 90;

    // Throws ToolError naming the holder when the lock stays taken for `waitSeconds`, or the store's
    // reason when it cannot be read or written. `repository` names the repository in messages.
    ObjectLock(ObjectLocation location, QString repository, int waitSeconds);
    // Stops refreshing and removes the lock when it is still ours.
    ~ObjectLock() override;

    void confirm() const override;

private:
    // The current lock; empty when there is none or it is unreadable. Throws ToolError for a store error.
    std::optional<LockHolder> read() const;
    void write(const LockHolder& holder) const;
    bool stale(const LockHolder& holder) const;
    QString describe(const LockHolder& holder) const;
    void refresh();

    const ObjectLocation location_;
    const QString repository_;
    LockHolder mine_;
    std::atomic<bool> lost_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread refresher_;
};
