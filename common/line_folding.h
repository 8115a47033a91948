// Folds a log's repeated lines, so that a retry storm (clients that connect, fail and close in a
// loop, many at a time, their lines interleaved in any order) leaves a few lines a minute
// instead of thousands a second. It knows no message of ours: lines are compared by their
// shape, the text with the number after the word "on" masked ("Client on 7 connected" and
// "Client on 12 connected" are the same shape; that number names the client's connection, and
// no other number of a line, a path's or a COM port's, is masked). The callers fold texts
// before they stamp them, so the time never takes part.
//
// A line whose shape came within the last kRecent seconds, among the last kHistory lines, starts
// a run, and the run's set of shapes is what came since that shape's earlier line: one client's
// round, or several clients' rounds mixed. Every line of a shape of the set is then left out and
// counted, in whatever order the clients' lines come. The first line of a shape outside the set
// ends the run and is written at once. A run that ended that way and comes back at once takes
// the lines written meanwhile into its set, so a storm's rarer lines cost a line or two once,
// not every time. A run also ends when none of its lines has come for kRecent seconds.
//
// The count of what was left out is one line, written before the line that ends the run, and
// while the run lasts when CountDue() says (kCountInterval after the first line it counts, or
// once the run has gone quiet), for the caller to wait for:
//
//     Client on 7 connected ... Client on 7 disconnected (the same 4 lines again, 4,936 lines left
//     out) Device on COM1: port /dev/ttyUSB0 lost (the same line again, 1,234 lines left out)
//
// The line left out last is held until the next line: when that one ends the run, the held line
// goes out in full behind the count, as what led to it (so a lone repeat is no run at all). A
// count of one line would cost as much as the line: that line is written in its place, as it
// came. The numbers add up: every line is written once or counted once.
//
// Pure and clock-injected; not thread-safe (its owner locks).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace common {

class LineFolding {
  public:
    using Clock = std::chrono::steady_clock;

    // How far back a line counts as a repeat, and how long a run waits for its next line.
    static constexpr std::chrono::seconds kRecent{10};
    // The lines a repeat is looked for among.
    static constexpr std::size_t kHistory = 32;
    // The most shapes a run's set holds.
    static constexpr std::size_t kMaxSet = 32;
    // A count is written at least this often while a run lasts.
    static constexpr std::chrono::minutes kCountInterval{1};

    struct Verdict {
        std::string count;  // a count line to write first, empty when there is none
        // Then the line left out just before, in full: the last of its run, it is what led to
        // this line. Empty when there is none.
        std::string held;
        bool write = true;  // false: the line is left out (counted)
    };

    // What becomes of `text`, which comes at `now`.
    Verdict Add(std::string_view text, Clock::time_point now);
    // When the count of the lines left out is due; nothing while none are.
    std::optional<Clock::time_point> CountDue() const;
    // The count line when it is due at `now` (the run goes on), else empty.
    std::string DueCount(Clock::time_point now);
    // The count line of what was left out, if anything, and the run ends: before the output goes
    // elsewhere or ends.
    std::string Finish();

    // `text` with the digits after every word "on" and a blank masked: what lines are compared by.
    static std::string Shape(std::string_view text);

  private:
    struct Seen {
        std::string shape;
        std::string text;
        std::uint64_t number = 0;  // the line's place in the stream
        Clock::time_point when{};
    };
    struct Member {
        std::string shape;
        std::string text;          // a line of the shape, to name it in the count
        std::uint64_t number = 0;  // that line's place, which orders the count's names
        std::uint64_t leftOut = 0;
    };

    void Remember(std::string shape, std::string_view text, Clock::time_point now);
    // The run that `shape` (a repeat) starts; false when it is no repeat.
    bool Start(const std::string& shape, Clock::time_point now);
    // Adds `shape`, which history_ holds, to `set`.
    void Join(std::vector<Member>& set, const std::string& shape) const;
    std::string End();
    std::string CountLine() const;

    std::deque<Seen> history_;
    std::uint64_t lines_ = 0;
    bool running_ = false;
    std::vector<Member> set_;
    std::uint64_t leftOut_ = 0;
    Clock::time_point firstLeftOut_{};
    std::string firstLeftOutText_;  // in full: a run of one line left out writes it, not a count
    std::string held_;  // the line left out last, counted, until the next line
    std::size_t heldMember_ = 0;
    Clock::time_point lastOfRun_{};
    // The run that a line outside it ended, and where: it resumes with the lines written since
    // when one of its lines comes back soon.
    std::vector<Member> ended_;
    std::uint64_t endedAt_ = 0;
    Clock::time_point endedWhen_{};
};

}  // namespace common
