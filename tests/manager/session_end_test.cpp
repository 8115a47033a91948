// The end of the session ends the real program in order: SIGTERM, SIGINT and SIGHUP close the
// device as the user's close does (the line gets back the settings it had before the open) and
// the program exits with 0, while a client holds the device open.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "program_run.h"
#include "shell_fixture.h"
#include "sim_process.h"
#include "wait_until.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The settings of the line at `path`, as the next program that opens it finds them.
std::optional<termios> LineSettings(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    termios settings{};
    const bool read = tcgetattr(fd, &settings) == 0;
    close(fd);
    return read ? std::optional(settings) : std::nullopt;
}

bool SameSettings(const termios& a, const termios& b) {
    return cfgetospeed(&a) == cfgetospeed(&b) && a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag &&
           a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

TEST(SessionEndTest, EachEndSignalClosesTheDeviceInOrderAndEndsWithZero) {
    // The program in a folder of its own, with the library (and so DUCTA.INI) and the language.
    vr620_test::TempDir folder;
    for (const fs::path& file : {fs::path(VR620_MANAGER_PROGRAM), fs::path(VR620_DUCTA_LIBRARY),
                                 fs::path(VR620_LANGUAGE_LIBRARY_DIR) / "VR620Manager_FIN.so"})
        fs::copy_file(file, folder / file.filename().string());
    vr620_test::SimProcess sim({});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    vr620_test::WriteFile(folder / "DUCTA.INI", "[Ports]\r\nCOM1=" + sim.DevicePath() + "\r\n");
    const std::optional<termios> before = LineSettings(sim.DevicePath());
    ASSERT_TRUE(before);

    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const int port = vr620_test::FreePort();
        // Started with the signal's default action, whatever this test was started with: an
        // ignored signal stays ignored in the program.
        struct sigaction byDefault {
        }, own{};
        byDefault.sa_handler = SIG_DFL;
        sigaction(signal, &byDefault, &own);
        vr620_test::ProgramRun manager((folder / "VR620Manager").string(),
                                       {"PORT=" + std::to_string(port)}, folder.Path());
        sigaction(signal, &own, nullptr);
        ASSERT_EQ(manager.StartError(), "");

        std::unique_ptr<vr620_test::GatewayConnection> client;
        ASSERT_TRUE(vr620_test::WaitUntil(
            [&] {
                client = std::make_unique<vr620_test::GatewayConnection>(port);
                return client->Connected();
            },
            30s))
            << manager.Stderr();
        const auto connected = client->Request(gateway::kDeviceConnect, 0);
        ASSERT_TRUE(connected && connected->Ok()) << manager.Stderr();
        // The line runs with the library's settings while the device is open.
        const std::optional<termios> open = LineSettings(sim.DevicePath());
        ASSERT_TRUE(open);
        EXPECT_FALSE(SameSettings(*open, *before));

        manager.Signal(signal);
        ASSERT_TRUE(manager.Wait(30s));
        EXPECT_EQ(manager.ExitCode(), 0) << manager.Stderr();
        const std::optional<termios> after = LineSettings(sim.DevicePath());
        ASSERT_TRUE(after);
        EXPECT_TRUE(SameSettings(*after, *before));
        EXPECT_TRUE(client->ClosedByServer());
    }
}

}  // namespace
