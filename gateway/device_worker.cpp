#include "device_worker.h"

#include <system_error>
#include <utility>

namespace gateway {

DeviceWorker::DeviceWorker(DeviceSession& session) : session_(session) {}

DeviceWorker::~DeviceWorker() {
    Finish({});
}

bool DeviceWorker::Start() {
    try {
        thread_ = std::thread(&DeviceWorker::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void DeviceWorker::Post(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (!finishing_) {
            jobs_.push_back(std::move(job));
            wake_.notify_one();
            return;
        }
    }
    job(nullptr);
}

void DeviceWorker::Finish(const Job& last) {
    std::deque<Job> dropped;
    {
        std::lock_guard lock(mutex_);
        if (finishing_) return;
        finishing_ = true;
        dropped.swap(jobs_);
        wake_.notify_one();
    }
    for (Job& job : dropped) job(nullptr);
    if (thread_.joinable()) thread_.join();
    if (last) last(&session_);
}

void DeviceWorker::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return finishing_ || !jobs_.empty(); });
            if (finishing_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job(&session_);
    }
}

}  // namespace gateway
