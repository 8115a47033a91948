#include <shlobj.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>

#include "service_host.h"
#include "system_error.h"

namespace gatewayd {
namespace {

constexpr wchar_t kServiceName[] = L"vr620-gatewayd";
// The installer registers this source, with the program itself as its message file.
constexpr wchar_t kEventSource[] = L"VR620 gateway";
// The messages of event_messages.mc, each of them the text handed over.
constexpr DWORD kEventStarted = 1;
constexpr DWORD kEventStopped = 2;
constexpr DWORD kEventFailed = 3;

// Binding and listening take a moment; the device is opened later, by the first client.
constexpr DWORD kStartWaitHintMs = 10'000;
// The orderly stop waits for the device's transaction that runs (a modem's dial may take its
// whole connect time-out) and a modem's hang-up: the manager hears that it goes on every tick,
// for three minutes at most, after which it may take the service for hung.
constexpr DWORD kStopTickMs = 2'000;
constexpr DWORD kStopWaitHintMs = 3 * kStopTickMs;
constexpr int kStopTicksAtMost = 90;

std::wstring Wide(const std::string& text) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// The service as the service control manager sees it.
class Service {
  public:
    bool active = false;  // run by the service control manager
    ServiceHost* host = nullptr;
    const ServiceHost::Program* program = nullptr;
    int exitCode = 0;

    // The service's thread: the program, between START_PENDING and STOPPED.
    void Main();
    // The dispatcher's thread: the manager's requests.
    DWORD Control(DWORD control);

    void OnStopRequest(std::function<void()> request) {
        std::lock_guard lock(mutex_);
        stopRequest_ = std::move(request);
    }
    void Ready(const std::string& what);
    void Stopping();
    void Failed(const std::string& why);

  private:
    // With mutex_ held.
    void Report(DWORD state, DWORD waitHint);
    void Event(WORD type, DWORD id, const std::string& text) const;
    static VOID CALLBACK StopTick(PVOID context, BOOLEAN);

    SERVICE_STATUS_HANDLE handle_ = nullptr;
    HANDLE eventSource_ = nullptr;
    HANDLE stopTimer_ = nullptr;
    std::mutex mutex_;  // the status and the stop request
    SERVICE_STATUS status_{};
    int stopTicks_ = 0;
    bool ready_ = false;
    std::function<void()> stopRequest_;
};

// The dispatcher's plain functions reach the process's one service through this.
std::atomic<Service*> running{nullptr};

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    running.load()->Main();
}

DWORD WINAPI ServiceControl(DWORD control, DWORD, LPVOID, LPVOID context) {
    return static_cast<Service*>(context)->Control(control);
}

void Service::Main() {
    handle_ = RegisterServiceCtrlHandlerExW(kServiceName, ServiceControl, this);
    if (handle_ == nullptr) {
        exitCode = 1;
        return;
    }
    eventSource_ = RegisterEventSourceW(nullptr, kEventSource);
    {
        std::lock_guard lock(mutex_);
        Report(SERVICE_START_PENDING, kStartWaitHintMs);
    }
    exitCode = (*program)(*host);
    if (exitCode == 0) Event(EVENTLOG_INFORMATION_TYPE, kEventStopped, "VR-620 gateway stopped");
    // Waits for a tick that runs.
    if (stopTimer_ != nullptr) DeleteTimerQueueTimer(nullptr, stopTimer_, INVALID_HANDLE_VALUE);
    if (eventSource_ != nullptr) DeregisterEventSource(eventSource_);
    SERVICE_STATUS last{};
    {
        std::lock_guard lock(mutex_);
        status_.dwCurrentState = SERVICE_STOPPED;
        status_.dwControlsAccepted = 0;
        status_.dwCheckPoint = 0;
        status_.dwWaitHint = 0;
        if (exitCode != 0) {
            status_.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
            status_.dwServiceSpecificExitCode = static_cast<DWORD>(exitCode);
        }
        last = status_;
    }
    // The process may end at any moment after this: nothing of ours is touched any more.
    SetServiceStatus(handle_, &last);
}

DWORD Service::Control(DWORD control) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN: {
            std::function<void()> request;
            {
                std::lock_guard lock(mutex_);
                if (status_.dwCurrentState != SERVICE_RUNNING) return NO_ERROR;
                Report(SERVICE_STOP_PENDING, kStopWaitHintMs);
                request = stopRequest_;
            }
            if (request) request();
            return NO_ERROR;
        }
        case SERVICE_CONTROL_INTERROGATE: {
            std::lock_guard lock(mutex_);
            SetServiceStatus(handle_, &status_);
            return NO_ERROR;
        }
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void Service::Ready(const std::string& what) {
    {
        std::lock_guard lock(mutex_);
        ready_ = true;
        Report(SERVICE_RUNNING, 0);
    }
    Event(EVENTLOG_INFORMATION_TYPE, kEventStarted, "VR-620 gateway started: " + what);
}

void Service::Stopping() {
    std::lock_guard lock(mutex_);
    if (status_.dwCurrentState != SERVICE_STOP_PENDING)
        Report(SERVICE_STOP_PENDING, kStopWaitHintMs);
    if (stopTimer_ == nullptr &&
        !CreateTimerQueueTimer(&stopTimer_, nullptr, StopTick, this, kStopTickMs, kStopTickMs,
                               WT_EXECUTEDEFAULT))
        stopTimer_ = nullptr;
}

void Service::Failed(const std::string& why) {
    bool ready = false;
    {
        std::lock_guard lock(mutex_);
        ready = ready_;
    }
    Event(EVENTLOG_ERROR_TYPE, kEventFailed,
          (ready ? "VR-620 gateway stopped: " : "VR-620 gateway could not start: ") + why);
}

void Service::Report(DWORD state, DWORD waitHint) {
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status_.dwCurrentState = state;
    // Nothing is accepted before it listens, and nothing more once it stops.
    status_.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status_.dwWaitHint = waitHint;
    status_.dwCheckPoint = pending ? status_.dwCheckPoint + 1 : 0;
    SetServiceStatus(handle_, &status_);
}

void Service::Event(WORD type, DWORD id, const std::string& text) const {
    if (eventSource_ == nullptr) return;
    const std::wstring wide = Wide(text);
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(eventSource_, type, 0, id, nullptr, 1, 0, strings, nullptr);
}

VOID CALLBACK Service::StopTick(PVOID context, BOOLEAN) {
    auto& service = *static_cast<Service*>(context);
    std::lock_guard lock(service.mutex_);
    if (service.status_.dwCurrentState == SERVICE_STOP_PENDING &&
        ++service.stopTicks_ <= kStopTicksAtMost)
        service.Report(SERVICE_STOP_PENDING, kStopWaitHintMs);
}

}  // namespace

struct ServiceHost::State {
    Service service;
};

int ServiceHost::Run(bool asService, const Program& program) {
    ServiceHost host;
    if (!asService) return program(host);
    Service& service = host.state_->service;
    service.active = true;
    service.host = &host;
    service.program = &program;
    running.store(&service);
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(kServiceName), ServiceMain},
                                    {nullptr, nullptr}};
    const bool dispatched = StartServiceCtrlDispatcherW(table) != 0;
    const DWORD why = GetLastError();
    running.store(nullptr);
    if (dispatched) return service.exitCode;
    if (why == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
        std::fputs(
            "vr620-gatewayd: --service is for the service control manager (sc start "
            "vr620-gatewayd); from a console, leave it out\n",
            stderr);
        return 2;
    }
    std::fprintf(stderr, "vr620-gatewayd: the service control manager cannot be reached: %s\n",
                 common::SystemErrorText(static_cast<int>(why)).c_str());
    return 1;
}

ServiceHost::ServiceHost() : state_(std::make_unique<State>()) {}

ServiceHost::~ServiceHost() = default;

bool ServiceHost::Listening() const {
    return state_->service.active;
}

// The service control manager has no watchdog.
std::chrono::milliseconds ServiceHost::WatchdogInterval() const {
    return std::chrono::milliseconds(0);
}

bool ServiceHost::ManagerStops() const {
    return state_->service.active;
}

bool ServiceHost::HasStandardOutput() const {
    return !state_->service.active;
}

std::filesystem::path ServiceHost::DefaultLogFile() const {
    if (!state_->service.active) return {};
    wchar_t folder[MAX_PATH] = L"C:\\ProgramData";
    if (SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) !=
        S_OK)
        wcscpy(folder, L"C:\\ProgramData");
    return std::filesystem::path(folder) / L"VR620" / L"vr620-gatewayd.log";
}

void ServiceHost::OnStopRequest(std::function<void()> request) {
    state_->service.OnStopRequest(std::move(request));
}

void ServiceHost::Ready(const std::string& what) {
    if (state_->service.active) state_->service.Ready(what);
}

// The service control manager shows no status line.
void ServiceHost::Status(const std::string&) {}

void ServiceHost::Stopping() {
    if (state_->service.active) state_->service.Stopping();
}

void ServiceHost::Watchdog() {}

void ServiceHost::Failed(const std::string& why) {
    if (state_->service.active) state_->service.Failed(why);
}

void ServiceStatusReceiver::ReceiveDeviceStatus(const gateway::DeviceStatus&) {}

}  // namespace gatewayd
