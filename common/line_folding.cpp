#include "line_folding.h"

#include <algorithm>

namespace common {
namespace {

// How much of a line the count quotes to name it.
constexpr std::size_t kNameLength = 200;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsWordCharacter(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// 1234567 as "1,234,567".
std::string Grouped(std::uint64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

// At most kNameLength bytes of `text`, cut between characters of UTF-8.
std::string Name(const std::string& text) {
    if (text.size() <= kNameLength) return text;
    std::size_t end = kNameLength;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end) + "...";
}

}  // namespace

std::string LineFolding::Shape(std::string_view text) {
    std::string shape;
    shape.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const bool word =
            text.compare(i, 3, "on ") == 0 && (i == 0 || !IsWordCharacter(text[i - 1]));
        if (word && i + 3 < text.size() && IsDigit(text[i + 3])) {
            shape.append("on #");
            i += 3;
            while (i < text.size() && IsDigit(text[i])) ++i;
            continue;
        }
        shape.push_back(text[i++]);
    }
    return shape;
}

LineFolding::Verdict LineFolding::Add(std::string_view text, Clock::time_point now) {
    Verdict verdict;
    std::string shape = Shape(text);
    if (running_ && now >= lastOfRun_ + kRecent) {
        // Gone quiet: what comes now starts afresh.
        verdict.count = End();
        set_.clear();
        ended_.clear();
    } else if (running_) {
        const auto member = std::find_if(set_.begin(), set_.end(),
                                         [&](const Member& m) { return m.shape == shape; });
        if (member == set_.end()) {
            if (!held_.empty()) {
                --leftOut_;
                --set_[heldMember_].leftOut;
                verdict.held = std::move(held_);
                held_.clear();
            }
            verdict.count = End();
            ended_ = std::move(set_);
            set_.clear();
            endedAt_ = lines_ + 1;
            endedWhen_ = lastOfRun_;
            Remember(std::move(shape), text, now);
            return verdict;
        }
        if (leftOut_++ == 0) {
            firstLeftOut_ = now;
            firstLeftOutText_.assign(text);
        }
        ++member->leftOut;
        lastOfRun_ = now;
        held_.assign(text);
        heldMember_ = static_cast<std::size_t>(member - set_.begin());
        Remember(std::move(shape), text, now);
        verdict.write = false;
        return verdict;
    }
    Remember(shape, text, now);
    if (Start(shape, now)) {
        leftOut_ = 1;
        firstLeftOut_ = now;
        firstLeftOutText_.assign(text);
        lastOfRun_ = now;
        for (std::size_t i = 0; i < set_.size(); ++i) {
            set_[i].leftOut = set_[i].shape == shape ? 1 : 0;
            if (set_[i].leftOut == 1) heldMember_ = i;
        }
        held_.assign(text);
        verdict.write = false;
    }
    return verdict;
}

void LineFolding::Remember(std::string shape, std::string_view text, Clock::time_point now) {
    if (history_.size() == kHistory) history_.pop_front();
    history_.push_back({std::move(shape), std::string(text), ++lines_, now});
}

void LineFolding::Join(std::vector<Member>& set, const std::string& shape) const {
    if (set.size() >= kMaxSet) return;
    for (const Member& m : set)
        if (m.shape == shape) return;
    // Named by its oldest line at hand, so that the count names the kinds in the order they
    // first came (a client's round from its first line to its last).
    for (const Seen& seen : history_) {
        if (seen.shape == shape) {
            set.push_back({shape, seen.text, seen.number, 0});
            return;
        }
    }
}

// The line just remembered (the last of history_) has `shape`.
bool LineFolding::Start(const std::string& shape, Clock::time_point now) {
    std::vector<Member> set;
    const bool resumes = now < endedWhen_ + kRecent &&
                         std::any_of(ended_.begin(), ended_.end(),
                                     [&](const Member& m) { return m.shape == shape; });
    if (resumes) {
        // The run that a line or two outside it ended goes on, and takes them in.
        set = std::move(ended_);
        for (const Seen& seen : history_)
            if (seen.number >= endedAt_) Join(set, seen.shape);
    } else {
        // The lines since this shape came before: one round of what repeats.
        auto earlier = history_.rend();
        for (auto it = std::next(history_.rbegin()); it != history_.rend(); ++it) {
            if (now >= it->when + kRecent) break;
            if (it->shape == shape) {
                earlier = it;
                break;
            }
        }
        if (earlier == history_.rend()) return false;
        for (auto it = earlier.base() - 1; it != history_.end(); ++it) Join(set, it->shape);
    }
    ended_.clear();
    set_ = std::move(set);
    running_ = true;
    return true;
}

std::optional<LineFolding::Clock::time_point> LineFolding::CountDue() const {
    if (!running_ || leftOut_ == 0) return std::nullopt;
    return std::min(firstLeftOut_ + kCountInterval, lastOfRun_ + kRecent);
}

std::string LineFolding::DueCount(Clock::time_point now) {
    if (!running_) return {};
    if (now >= lastOfRun_ + kRecent) {
        std::string count = End();
        set_.clear();
        return count;
    }
    if (leftOut_ == 0 || now < firstLeftOut_ + kCountInterval) return {};
    std::string count = CountLine();
    leftOut_ = 0;
    for (Member& m : set_) m.leftOut = 0;
    held_.clear();  // counted now
    return count;
}

std::string LineFolding::Finish() {
    std::string count = End();
    set_.clear();
    ended_.clear();
    history_.clear();
    return count;
}

std::string LineFolding::End() {
    std::string count = running_ && leftOut_ > 0 ? CountLine() : std::string();
    running_ = false;
    leftOut_ = 0;
    held_.clear();
    return count;
}

std::string LineFolding::CountLine() const {
    // One line left out costs no less than its count: it is written as it came.
    if (leftOut_ == 1) return firstLeftOutText_;
    const Member* first = nullptr;
    const Member* last = nullptr;
    std::size_t kinds = 0;
    for (const Member& m : set_) {
        if (m.leftOut == 0) continue;
        ++kinds;
        if (first == nullptr || m.number < first->number) first = &m;
        if (last == nullptr || m.number > last->number) last = &m;
    }
    if (first == nullptr) return {};
    std::string line = Name(first->text);
    if (kinds > 1) line += " ... " + Name(last->text);
    line += kinds > 1 ? " (the same " + std::to_string(kinds) + " lines again, "
                      : std::string(" (the same line again, ");
    line += Grouped(leftOut_) + (leftOut_ == 1 ? " line left out)" : " lines left out)");
    return line;
}

}  // namespace common
