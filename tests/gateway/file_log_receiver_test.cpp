// The connection log's file: appended to across runs, renamed over the old one before a line
// would take it past its largest size, and a file that cannot be written never holds up the
// lines for the next receiver, nor stays lost once it can be written again.
#include "file_log_receiver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using vr620_test::ReadFile;

class Collected : public gateway::LogReceiver {
  public:
    void ReceiveLogLine(const char* line) override { lines.emplace_back(line); }
    std::uint32_t LogReceiverId() const override { return 7; }
    std::vector<std::string> lines;
};

TEST(FileLogReceiver, AppendsRotatesAndOutlivesAFileThatCannotBeWritten) {
    vr620_test::TempDir dir;
    const fs::path file = dir / "logs" / "gatewayd.log";  // the folder is made at the first line
    fs::path old = file;
    old += ".1";
    const std::string end = common::kTextLineEnd;
    // Two runs of at most 40 bytes each: the second appends, and renames the file over an old
    // one before the line that would take it past 40.
    Collected next;
    {
        gatewayd::FileLogReceiver log(file, &next, 40);
        EXPECT_EQ(log.LogReceiverId(), 7u);
        log.ReceiveLogLine("first line");
        log.ReceiveLogLine("second line");
    }
    vr620_test::WriteFile(old, "older");
    {
        gatewayd::FileLogReceiver log(file, nullptr, 40);
        log.ReceiveLogLine("third line");
        log.ReceiveLogLine("fourth line");
    }
    EXPECT_EQ(ReadFile(old), "first line" + end + "second line" + end + "third line" + end);
    EXPECT_EQ(ReadFile(file), "fourth line" + end);

    // A folder in the file's place: the line still goes on, and once the folder is gone the
    // file is made again.
    fs::remove(file);
    fs::create_directory(file);
    {
        gatewayd::FileLogReceiver log(file, &next);
        log.ReceiveLogLine("lost");
        fs::remove(file);
        log.ReceiveLogLine("back");
    }
    EXPECT_EQ(ReadFile(file), "back" + end);
    EXPECT_EQ(next.lines, (std::vector<std::string>{"first line", "second line", "lost", "back"}));
}

}  // namespace
