#include "device_worker.h"

#include <system_error>
#include <utility>

#include "wake_signal.h"

namespace gateway {
namespace {

// Tells an operation of the front door that never ran that it failed.
void Dropped(DeviceJob& job) {
    if (auto* channel = std::get_if<ChannelJob>(&job); channel != nullptr && channel->done)
        channel->done(false);
    if (auto* modem = std::get_if<ModemJob>(&job); modem != nullptr && modem->done) modem->done();
}

}  // namespace

DeviceWorker::DeviceWorker(RequestRunner& runner, DeviceSession& session, WakeSignal& wake,
                           bool coalesce)
    : runner_(runner), session_(session), wake_(wake), queue_(coalesce) {}

DeviceWorker::~DeviceWorker() {
    Finish();
}

bool DeviceWorker::Start() {
    try {
        thread_ = std::thread(&DeviceWorker::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void DeviceWorker::Post(std::uint64_t connection, Request request) {
    std::lock_guard lock(mutex_);
    if (finishing_) return;
    queue_.Add(connection, std::move(request));
    jobsWaiting_.notify_one();
}

void DeviceWorker::Post(DeviceJob job) {
    {
        std::lock_guard lock(mutex_);
        if (!finishing_) {
            queue_.Add(std::move(job));
            jobsWaiting_.notify_one();
            return;
        }
    }
    Dropped(job);
}

std::deque<Completion> DeviceWorker::TakeCompletions() {
    std::lock_guard lock(mutex_);
    return std::exchange(completions_, {});
}

void DeviceWorker::Finish() {
    std::deque<DeviceJob> dropped;
    {
        std::lock_guard lock(mutex_);
        if (finishing_) return;
        finishing_ = true;
        dropped = queue_.TakeAll();
        jobsWaiting_.notify_one();
    }
    for (DeviceJob& job : dropped) Dropped(job);
    if (thread_.joinable()) thread_.join();
    runner_.Finish();
}

void DeviceWorker::Run() {
    for (;;) {
        DeviceJob job;
        {
            std::unique_lock lock(mutex_);
            jobsWaiting_.wait(lock, [this] { return finishing_ || !queue_.Empty(); });
            if (finishing_) return;
            job = queue_.Take();
        }
        Perform(job);
        // Also after the gateway's own operations: an open or a close changes what the serving
        // loop watches.
        wake_.Raise();
    }
}

void DeviceWorker::Perform(DeviceJob& job) {
    if (auto* client = std::get_if<ClientJob>(&job)) {
        // Several connections only for a read that others joined, which the runner of the
        // device serves alike for every one.
        DeviceOutcome outcome = runner_.Run(client->connections.front(), client->request);
        Completion completion{std::move(client->connections), std::move(outcome),
                              runner_.Name()};
        std::lock_guard lock(mutex_);
        completions_.push_back(std::move(completion));
    } else if (auto* closed = std::get_if<ClosedJob>(&job)) {
        runner_.Closed(closed->connection);
    } else if (auto* channel = std::get_if<ChannelJob>(&job)) {
        const bool ok = session_.SetChannel(channel->channel).Ok();
        if (channel->done) channel->done(ok);
    } else if (auto* modem = std::get_if<ModemJob>(&job)) {
        session_.SetModemSettings(modem->settings);
        if (modem->done) modem->done();
    } else if (auto* release = std::get_if<ReleaseJob>(&job)) {
        if (session_.OpenCount() == 0) return;
        Completion released{{}, AsDeviceOutcome(session_.ForceClose()),
                            "COM" + std::to_string(session_.Com()), release->afterSeconds};
        std::lock_guard lock(mutex_);
        completions_.push_back(std::move(released));
    }
}

}  // namespace gateway
