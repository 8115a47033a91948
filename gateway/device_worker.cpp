#include "device_worker.h"

#include <system_error>
#include <utility>

#include "wake_signal.h"

namespace gateway {
namespace {

// An outcome without a value, as a request's outcome.
DeviceOutcome AsDeviceOutcome(const common::Outcome<>& outcome) {
    if (outcome.Ok()) return Value{};
    return outcome.Why();
}

// Tells an operation of the front door that never ran that it failed.
void Dropped(DeviceJob& job) {
    if (auto* channel = std::get_if<ChannelJob>(&job); channel != nullptr && channel->done)
        channel->done(false);
    if (auto* modem = std::get_if<ModemJob>(&job); modem != nullptr && modem->done) modem->done();
}

}  // namespace

DeviceWorker::DeviceWorker(DeviceSession& session, WakeSignal& wake, bool coalesce)
    : session_(session), wake_(wake), queue_(coalesce) {}

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
    if (session_.OpenCount() != 0) static_cast<void>(session_.ForceClose());
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
        Completion completion{std::move(client->connections), Perform(client->request),
                              session_.Com()};
        std::lock_guard lock(mutex_);
        completions_.push_back(std::move(completion));
    } else if (auto* channel = std::get_if<ChannelJob>(&job)) {
        const bool ok = session_.SetChannel(channel->channel).Ok();
        if (channel->done) channel->done(ok);
    } else if (auto* modem = std::get_if<ModemJob>(&job)) {
        session_.SetModemSettings(modem->settings);
        if (modem->done) modem->done();
    } else if (auto* release = std::get_if<ReleaseJob>(&job)) {
        if (session_.OpenCount() == 0) return;
        Completion released{{}, AsDeviceOutcome(session_.ForceClose()), session_.Com(),
                            release->afterSeconds};
        std::lock_guard lock(mutex_);
        completions_.push_back(std::move(released));
    }
}

DeviceOutcome DeviceWorker::Perform(const Request& request) {
    switch (request.command) {
        case Command::kDeviceConnect:
            return AsDeviceOutcome(session_.Open());
        case Command::kDeviceDisconnect:
            return AsDeviceOutcome(session_.Close());
        case Command::kSnvtRead:
            return session_.Read(request.snvt);
        case Command::kSnvtWrite:
            return AsDeviceOutcome(session_.Write(request.snvt, request.value));
        case Command::kLastReason:
        case Command::kUnknown:
            break;
    }
    return common::Failure{common::FailureKind::kRefused, "not a request for the device"};
}

}  // namespace gateway
