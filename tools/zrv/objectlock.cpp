#include "objectlock.h"

#include "toolerror.h"

#include "cloud/cloudfactory.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSysInfo>
#include <csignal>
#include <memory>

using ZRV::Cloud::Api::CloudFactory;
using ZRV::Cloud::Api::ICloudApi;

namespace {

// How long a writer waits between writing the lock and reading it back: a writer that read the
// lock free at the same time has written its own by then.
constexpr int SettleMilliseconds = 500;

std::unique_ptr<ICloudApi> api(const ObjectLocation& location)
{
    return std::unique_ptr<ICloudApi>(CloudFactory::create(location.config()));
}

} // namespace

ObjectLock::ObjectLock(ObjectLocation location, QString repository, int waitSeconds)
    : location_(std::move(location))
    , repository_(std::move(repository))
{
    mine_.pid = QCoreApplication::applicationPid();
    mine_.host = QSysInfo::machineHostName();
    mine_.token = QByteArray::number(QRandomGenerator::system()->generate64(), 16)
        + QByteArray::number(QRandomGenerator::system()->generate64(), 16);
    const QDateTime deadline = QDateTime::currentDateTimeUtc().addSecs(waitSeconds);
    for (;;) {
        std::optional<LockHolder> holder = read();
        if (!holder || stale(*holder)) {
            mine_.since = mine_.refreshed = QDateTime::currentDateTimeUtc();
            write(mine_);
            std::this_thread::sleep_for(std::chrono::milliseconds(SettleMilliseconds));
            holder = read();
            if (holder && holder->token == mine_.token)
                break;
        }
        if (QDateTime::currentDateTimeUtc() >= deadline) {
            throw ToolError(
                ToolError::Failure,
                QStringLiteral("%1 is in use by another backup: %2 (--lock-wait SECONDS waits for it)")
                    .arg(repository_, holder ? describe(*holder) : QStringLiteral("a writer racing this one")));
        }
        std::this_thread::sleep_for(
            std::chrono::milliseconds(qBound<qint64>(1, QDateTime::currentDateTimeUtc().msecsTo(deadline), 1000)));
    }
    refresher_ = std::thread([this] { refresh(); });
}

ObjectLock::~ObjectLock()
{
    {
        const std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    refresher_.join();
    try {
        const std::optional<LockHolder> holder = read();
        if (holder && holder->token == mine_.token)
            api(location_)->removeObject(location_.bucket(), location_.key());
    } catch (const ToolError&) {
        // A lock left behind goes stale and is taken over.
    }
}

void ObjectLock::confirm() const
{
    const std::optional<LockHolder> holder = read();
    if (lost_ || !holder || holder->token != mine_.token)
        throw ToolError(ToolError::Failure,
                        QStringLiteral("the lock of %1 was taken by %2 meanwhile; this run commits nothing")
                            .arg(repository_, holder ? describe(*holder) : QStringLiteral("another writer")));
}

std::optional<LockHolder> ObjectLock::read() const
{
    const auto store = api(location_);
    const QByteArray bytes = store->downloadRange(location_.bucket(), location_.key(), 0, LockHolder::Limit, {}, {});
    // An empty object yields nothing, or InvalidRange: unreadable, as below.
    const QString error = store->errorString();
    if (bytes.isEmpty() && !error.isEmpty() && !ObjectLocation::isMissing(error)
        && !error.contains(QLatin1String("InvalidRange")))
        throw ToolError(ToolError::Failure, QStringLiteral("cannot read %1: %2").arg(location_.toString(), error));
    // An unreadable lock is damage, not a writer: the lock is written whole, in one request.
    return LockHolder::decode(bytes);
}

void ObjectLock::write(const LockHolder& holder) const
{
    const auto store = api(location_);
    const std::unique_ptr<ZRV::Cloud::Api::IObjectWriter> writer =
        store->createWriter(location_.bucket(), location_.key());
    const QByteArray bytes = holder.encode();
    if (!writer || writer->write(bytes) != bytes.size() || !writer->commit())
        throw ToolError(ToolError::Failure,
                        QStringLiteral("cannot write %1: %2")
                            .arg(location_.toString(), writer ? writer->errorString() : store->errorString()));
}

bool ObjectLock::stale(const LockHolder& holder) const
{
    if (holder.refreshed.secsTo(QDateTime::currentDateTimeUtc()) >= StaleSeconds)
        return true;
    return holder.host == mine_.host && holder.pid > 0 && kill(pid_t(holder.pid), 0) != 0 && errno == ESRCH;
}

QString ObjectLock::describe(const LockHolder& holder) const
{
    return QStringLiteral("process %1 on %2 since %3")
        .arg(holder.pid)
        .arg(holder.host, holder.since.toUTC().toString(Qt::ISODate));
}

void ObjectLock::refresh()
{
    std::unique_lock<std::mutex> guard(mutex_);
    while (!wake_.wait_for(guard, std::chrono::seconds(RefreshSeconds), [this] { return stopping_; })) {
        try {
            const std::optional<LockHolder> holder = read();
            if (!holder || holder->token != mine_.token) {
                lost_ = true;
                return;
            }
            LockHolder renewed = mine_;
            renewed.refreshed = QDateTime::currentDateTimeUtc();
            write(renewed);
        } catch (const ToolError&) {
            // Tried again at the next refresh; confirm() tells whether the lock outlived it.
        }
    }
}
