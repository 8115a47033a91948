// The log window: the list that settles at 201 lines, always scrolled to the newest, fed by the
// log writer from any thread through the bridge without a writer ever waiting for the window.
#include <QListWidget>
#include <QScrollBar>
#include <thread>

#include "log_window_bridge.h"
#include "log_writer.h"
#include "shell_fixture.h"

namespace {

using manager::LogWindowBridge;
using vr620_test::WaitFor;

std::string Text(const QListWidget* list, int row) {
    return list->item(row)->text().toStdString();
}

bool NewestLineVisible(const QListWidget* list) {
    const QRect rect = list->visualItemRect(list->item(list->count() - 1));
    return list->viewport()->rect().contains(rect);
}

class LogFormTest : public ::testing::Test {
  protected:
    ~LogFormTest() override { LogWindowBridge::Instance().Detach(); }
    TLogForm logForm;
};

TEST_F(LogFormTest, KeepsTheNewest201LinesScrolledToTheNewestAlsoWhileHidden) {
    LogWindowBridge::Instance().Attach(&logForm);
    ASSERT_EQ(logForm.ListBox_Log->count(), 1);
    EXPECT_TRUE(logForm.ListBox_Log->item(0)->text().contains(
        QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d  Log window activated "
                           "\\(0x[0-9a-f]{8,}\\)$")));
    logForm.ListBox_Log->clear();

    for (int i = 1; i <= 250; ++i) gateway::WriteLogLine("line %d", i);
    ASSERT_EQ(logForm.ListBox_Log->count(), 201);
    EXPECT_TRUE(Text(logForm.ListBox_Log, 0).ends_with("  line 50"));
    EXPECT_TRUE(Text(logForm.ListBox_Log, 200).ends_with("  line 250"));

    // Collected while hidden, shown from the newest when the window opens.
    logForm.show();
    ASSERT_TRUE(WaitFor([&] { return logForm.isVisible(); }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(NewestLineVisible(logForm.ListBox_Log));
    gateway::WriteLogLine("line %d", 251);
    QCoreApplication::processEvents();
    EXPECT_TRUE(NewestLineVisible(logForm.ListBox_Log));
    // It opens wide enough for a command's line and its reason whole.
    gateway::WriteLogLine("DEVICE_DISCONNECT command received from client on 1023 -> ERROR");
    gateway::WriteLogLine("Device on COM255: port /dev/ttyUSB0 in use by another program");
    QCoreApplication::processEvents();
    EXPECT_EQ(logForm.ListBox_Log->horizontalScrollBar()->maximum(), 0);

    // Closing only hides: the lines stay and new ones keep coming.
    logForm.close();
    EXPECT_FALSE(logForm.isVisible());
    gateway::WriteLogLine("while closed");
    EXPECT_TRUE(Text(logForm.ListBox_Log, 200).ends_with("  while closed"));
    EXPECT_EQ(logForm.ListBox_Log->count(), 201);
}

TEST_F(LogFormTest, WritersNeverWaitForTheWindowAndEachThreadsLinesKeepTheirOrder) {
    LogWindowBridge::Instance().Attach(&logForm);
    logForm.ListBox_Log->clear();
    constexpr int kLines = 60;
    auto writer = [&](char name) {
        for (int i = 0; i < kLines; ++i) gateway::WriteLogLine("%c %d", name, i);
    };
    // The user-interface thread turns no event meanwhile, as while it is busy elsewhere: the
    // writers end all the same.
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    EXPECT_EQ(logForm.ListBox_Log->count(), 0);
    ASSERT_TRUE(WaitFor([&] { return logForm.ListBox_Log->count() == 2 * kLines; }));
    int next[2] = {0, 0};
    bool misordered = false;
    for (int row = 0; row < logForm.ListBox_Log->count(); ++row) {
        const std::string text = Text(logForm.ListBox_Log, row).substr(gateway::kLogStampLength);
        const int who = text[0] == 'a' ? 0 : 1;
        if (text != std::string(1, text[0]) + " " + std::to_string(next[who])) misordered = true;
        ++next[who];
    }
    EXPECT_FALSE(misordered);

    // Lines on their way when the window is detached are never stored.
    std::thread late([] { gateway::WriteLogLine("late line"); });
    late.join();
    LogWindowBridge::Instance().Detach();
    QCoreApplication::processEvents();
    EXPECT_EQ(logForm.ListBox_Log->count(), 2 * kLines);
    EXPECT_EQ(gateway::WriteLogLine("after"), 0);
}

TEST_F(LogFormTest, AWindowGoingAwayDetachesItself) {
    auto window = std::make_unique<TLogForm>();
    LogWindowBridge::Instance().Attach(window.get());
    window.reset();
    EXPECT_EQ(gateway::WriteLogLine("nobody listens"), 0);
}

}  // namespace
