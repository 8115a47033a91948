#include "serial_port.h"

namespace ducta {

SerialPort::~SerialPort() {
    Close();
}

void SerialPort::Report(std::string_view text, int error) {
    if (error != 0) lastError_ = error;
    std::string line = path_;
    line.append(": ").append(text);
    if (error != 0)
        debug_.Line(line, error);
    else
        debug_.Line(line);
}

Status SerialPort::Open(const std::string& path, const LineSettings& line, bool reopenWhenLost) {
    Close();
    lastError_ = 0;
    path_ = path;
    line_ = line;
    reopenWhenLost_ = reopenWhenLost;
    int error = 0;
    const Status s = OpenDevice(error);
    if (s != Status::kOk) {
        Report(Why(s), error);
        return s;
    }
    open_ = true;
    return Status::kOk;
}

std::string SerialPort::Why(Status s) const {
    std::string why = Describe(s);
    if (s == Status::kSpeedRefused) why += " (" + std::to_string(line_.baud) + " bit/s)";
    return why;
}

void SerialPort::Close() {
    if (device_) CloseDevice(true);
    open_ = false;
}

void SerialPort::MarkLost(std::string_view why, int error) {
    std::string text = "port lost (";
    text.append(why).append(")");
    Report(text, error);
    if (device_) CloseDevice(false);  // the line is gone: nothing to restore on it
}

Status SerialPort::Ready() {
    lastError_ = 0;
    if (!open_) return Status::kNotOpen;
    if (int error = 0; device_ && DeviceHungUp(error)) MarkLost("hang-up", error);
    if (device_) return Status::kOk;
    if (!reopenWhenLost_) return Status::kPortLost;
    int error = 0;
    const Status s = OpenDevice(error);
    if (s != Status::kOk) {
        Report(std::string(Describe(Status::kReopenFailed)) + ": " + Why(s), error);
        return Status::kReopenFailed;
    }
    Report("reopened");
    return Status::kOk;
}

Status SerialPort::ReadSome(std::span<std::uint8_t> buffer, std::size_t& received,
                            Clock::time_point deadline) {
    received = 0;
    lastError_ = 0;
    if (!open_) return Status::kNotOpen;
    if (!device_) return Status::kPortLost;
    if (buffer.empty()) return Status::kOk;
    const Transfer t = ReadDevice(buffer, received, deadline);
    switch (t.end) {
        case Transfer::End::kDone:
            if (capture_ != nullptr) {
                capture_->Record(LineCapture::Direction::kReceived, captureKind_,
                                 buffer.first(received), LineCapture::SystemClock::now());
            }
            return Status::kOk;
        case Transfer::End::kTimeout:
            return Status::kTimeout;
        case Transfer::End::kLost:
            MarkLost(t.what, t.error);
            return Status::kPortLost;
        case Transfer::End::kFailed:
            break;
    }
    Report(Describe(Status::kReadFailed), t.error);
    return Status::kReadFailed;
}

Status SerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (const Status s = Ready(); s != Status::kOk) return s;
    Purge();
    const auto deadline = Clock::now() + 2 * LineTime(bytes.size()) + std::chrono::seconds(1);
    std::size_t sent = 0;
    const auto started = LineCapture::SystemClock::now();
    const Transfer t = WriteDevice(bytes, sent, deadline);
    if (capture_ != nullptr) {
        capture_->Record(LineCapture::Direction::kSent, captureKind_, bytes.first(sent), started);
    }
    switch (t.end) {
        case Transfer::End::kDone:
            return Status::kOk;
        case Transfer::End::kLost:
            MarkLost(t.what, t.error);
            return Status::kPortLost;
        case Transfer::End::kFailed:
            Report(Describe(Status::kWriteFailed), t.error);
            return Status::kWriteFailed;
        case Transfer::End::kTimeout:
            break;
    }
    Report(std::string(Describe(Status::kWriteIncomplete)) + ": " + std::to_string(sent) + " of " +
           std::to_string(bytes.size()) + " bytes went out");
    return Status::kWriteIncomplete;
}

SerialPort::Clock::duration SerialPort::LineTime(std::size_t bytes) const {
    const long long baud = line_.baud > 0 ? line_.baud : 9600;
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(static_cast<long long>(bytes) * 10'000'000'000LL / baud));
}

}  // namespace ducta
