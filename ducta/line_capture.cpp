#include "line_capture.h"

#include <exception>

#include "pcapng.h"

namespace ducta {

void LineCapture::Start(const std::filesystem::path& file, int maxMegabytes, std::string_view port,
                        std::string_view name, std::string_view description) {
    Stop();
    try {
        Begin(file, maxMegabytes, port, name, description);
    } catch (const std::exception& e) {
        file_.Close();
        debug_.Line("capture " + fileName_ + " not written: " + e.what());
    }
}

std::filesystem::path LineCapture::FileOfPort(const std::filesystem::path& file,
                                              std::string_view port) {
    std::filesystem::path own = file;
    own.replace_filename(file.stem().string() + "-" + std::string(port) +
                         file.extension().string());
    return own;
}

std::string LineCapture::OpenFile(const std::filesystem::path& file, std::string_view port) {
    fileName_ = file.string();
    std::string why = file_.Open(file);
    if (why != common::AppendFile::kInUse)
        return why.empty() ? why : "capture " + fileName_ + " not written: " + why;
    const std::string shared = fileName_;
    fileName_ = FileOfPort(file, port).string();
    why = file_.Open(fileName_);
    if (!why.empty())
        return "capture " + shared + " " + common::AppendFile::kInUse + ", and " + fileName_ +
               " not written: " + why;
    debug_.Line("capture " + shared + " " + common::AppendFile::kInUse + ": " + std::string(port) +
                " writes " + fileName_);
    return {};
}

void LineCapture::Begin(const std::filesystem::path& file, int maxMegabytes, std::string_view port,
                        std::string_view name, std::string_view description) {
    maxMegabytes_ = maxMegabytes;
    if (const std::string why = OpenFile(file, port); !why.empty()) {
        debug_.Line(why);
        return;
    }
    pcapng::Bytes header;
    pcapng::AppendSectionHeader(header, "VR-620 device library");
    pcapng::AppendInterface(header, pcapng::kLinkTypeUpperPdu, name, description);
    bytes_ = file_.SizeAtOpen() + static_cast<std::int64_t>(header.size());
    if (bytes_ > static_cast<std::int64_t>(maxMegabytes_) * kMegabyte) {
        file_.Close();
        debug_.Line("capture " + fileName_ + " not written: MaxSize of " +
                    std::to_string(maxMegabytes_) + " MB reached");
        return;
    }
    deviceHead_ = pcapng::UpperPduHeader("vr620.line");
    modemHead_ = pcapng::UpperPduHeader("vr620.modem");
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(header);
        stopping_ = false;
        writeFailure_.clear();
    }
    writer_ = std::thread(&LineCapture::Writer, this);
    running_ = true;
    recording_ = true;
}

void LineCapture::Record(Direction direction, Kind kind, std::span<const std::uint8_t> bytes,
                         SystemClock::time_point when) {
    if (!recording_ || bytes.empty()) return;
    try {
        const pcapng::Bytes& head = kind == Kind::kModemText ? modemHead_ : deviceHead_;
        const std::size_t size = pcapng::PacketSize(head.size() + bytes.size());
        if (bytes_ + static_cast<std::int64_t>(size) >
            static_cast<std::int64_t>(maxMegabytes_) * kMegabyte) {
            Give("MaxSize of " + std::to_string(maxMegabytes_) + " MB reached");
            return;
        }
        const auto microseconds =
            std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch());
        std::string failure;
        bool behind = false;
        {
            std::lock_guard lock(mutex_);
            failure = writeFailure_;
            behind = pending_.size() + size > kMaxBacklog;
            if (failure.empty() && !behind) {
                pcapng::AppendPacket(pending_, 0, static_cast<std::uint64_t>(microseconds.count()),
                                     direction == Direction::kSent ? pcapng::Direction::kOutbound
                                                                   : pcapng::Direction::kInbound,
                                     head, bytes);
            }
        }
        if (!failure.empty()) return Give(failure);
        if (behind) return Give("the file falls more than 4 MB behind the line");
        wake_.notify_one();
        bytes_ += static_cast<std::int64_t>(size);
    } catch (const std::exception& e) {
        Give(std::string("cannot record: ") + e.what());
    }
}

void LineCapture::Stop() {
    if (!running_) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    writer_.join();
    file_.Close();
    running_ = false;
    std::string failure;
    {
        std::lock_guard lock(mutex_);
        failure = writeFailure_;
        pending_.clear();
    }
    if (recording_ && !failure.empty()) Give(failure);
    recording_ = false;
}

void LineCapture::Give(const std::string& why) {
    recording_ = false;
    debug_.Line("capture " + fileName_ + " stopped: " + why);
}

// Hands whatever has been recorded to the file, a batch at a time, until Stop() and nothing is
// left, or until the file fails.
void LineCapture::Writer() {
    std::vector<std::uint8_t> batch;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !pending_.empty() || stopping_; });
        if (pending_.empty()) return;
        batch.swap(pending_);
        lock.unlock();
        const std::string why = file_.Append(batch);
        batch.clear();
        lock.lock();
        if (!why.empty()) {
            writeFailure_ = why;
            pending_.clear();
            return;
        }
    }
}

}  // namespace ducta
