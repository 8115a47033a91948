// The capture of the serial line: every chunk of bytes the port sends or receives, as one
// packet of a pcapng file that Wireshark reads (with tools/wireshark/vr620.lua), with its time
// in microseconds and its direction. Every open of the channel appends a section of its own, so
// the file is never rewritten and a long session survives reopens.
//
// The file is written on a thread of the capture's own: recording a chunk only copies it into
// memory, so a slow or failing disk never holds up or fails a transfer. A capture that cannot
// go on (the file cannot be written, reaches its largest size, or falls far behind) stops,
// says why in one debug line, and the transfers go on without it.
//
// Each packet is a record of Wireshark's upper-PDU link type whose tag names the dissector of
// its bytes: "vr620.line" for the device's frames, "vr620.modem" for the modem's commands and
// results. So the modem's text is told from device frames by the file itself, in one
// interface that keeps the order of the line, and no link type of the user's range (which a
// globally installed plug-in would take over for everybody's captures) is claimed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "append_file.h"
#include "debug_output.h"

namespace ducta {

class LineCapture {
  public:
    enum class Kind { kDeviceBytes, kModemText };
    enum class Direction { kReceived, kSent };
    using SystemClock = std::chrono::system_clock;

    // MaxSize counts in megabytes of a million bytes.
    static constexpr std::int64_t kMegabyte = 1'000'000;
    // How far the writer may fall behind the line (minutes of the fastest line): beyond it the
    // disk has stopped taking bytes, and no more memory is spent waiting for it.
    static constexpr std::size_t kMaxBacklog = 4'000'000;

    explicit LineCapture(DebugOutput& debug) : debug_(debug) {}
    ~LineCapture() { Stop(); }
    LineCapture(const LineCapture&) = delete;
    LineCapture& operator=(const LineCapture&) = delete;

    // Stops a running capture, then appends a new section for the line `name` (its device
    // path; `description` says port, mode and speed) to `file`, which may grow to
    // `maxMegabytes`. A file that another process writes (another port) is not touched: the
    // capture goes to the same name with "-<port>" before the extension, said in one debug line.
    // A file that cannot be opened, or has no room left, is told in one debug line, and nothing
    // is captured.
    void Start(const std::filesystem::path& file, int maxMegabytes, std::string_view port,
               std::string_view name, std::string_view description);

    // `file` with "-<port>" before its extension: line.pcapng, COM2: line-COM2.pcapng.
    static std::filesystem::path FileOfPort(const std::filesystem::path& file,
                                            std::string_view port);
    // Records one chunk as it went over the line at `when`. Never waits for the file.
    void Record(Direction direction, Kind kind, std::span<const std::uint8_t> bytes,
                SystemClock::time_point when);
    // Writes what is still waiting and closes the file; a failed write is told here at the
    // latest. Harmless when nothing runs.
    void Stop();
    bool Running() const { return running_; }

  private:
    void Begin(const std::filesystem::path& file, int maxMegabytes, std::string_view port,
               std::string_view name, std::string_view description);
    // Opens `file`, or the port's own file when another process holds it; the name it opened
    // in fileName_. Empty on success, otherwise the debug line's text.
    std::string OpenFile(const std::filesystem::path& file, std::string_view port);
    void Writer();
    // Ends recording with one debug line (on the caller's thread, as all of them).
    void Give(const std::string& why);

    DebugOutput& debug_;
    // The caller's side (the thread that moves the bytes).
    bool running_ = false;    // a section is open and the writer runs
    bool recording_ = false;  // packets are still taken
    std::string fileName_;
    int maxMegabytes_ = 0;
    std::int64_t bytes_ = 0;  // the file's size once everything taken is written
    std::vector<std::uint8_t> deviceHead_, modemHead_;
    common::AppendFile file_;
    std::thread writer_;

    // Shared with the writer thread.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::uint8_t> pending_;  // encoded blocks not yet handed to the file
    bool stopping_ = false;
    std::string writeFailure_;  // why the writer stopped, empty while it writes
};

}  // namespace ducta
