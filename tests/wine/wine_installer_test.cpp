// The Windows installer under Wine, in a Wine prefix of the test's own: msiexec installs the
// package, the service vr620-gatewayd runs and the Linux client reads and writes through it from
// the Linux simulator on Wine's COM1, its connection log is in ProgramData, a package of a
// higher version replaces it in place, net stop stops it in order, and msiexec removes it. What
// Wine keeps no trace of (the Event Log, the recovery actions) is checked no further than that
// the call reached Wine, in the debug output of Wine's service manager.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "gateway_client.h"
#include "loopback.h"
#include "program_run.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "wait_until.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using vr620_test::ProgramRun;
using vr620_test::ReadFile;

// Bounds that a loaded 2-core machine keeps: a fresh prefix takes about 15 s, an install 3 s.
constexpr auto kPrefixBound = 180s;
constexpr auto kProgramBound = 120s;
constexpr char kEventSource[] =
    "HKLM\\System\\CurrentControlSet\\Services\\EventLog\\Application\\VR620 gateway";

// A line's speed as the next program that opens it finds it (0 when it cannot be opened).
speed_t LineSpeed(const fs::path& line) {
    const int fd = open(line.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    termios settings{};
    const bool read = tcgetattr(fd, &settings) == 0;
    close(fd);
    return read ? cfgetospeed(&settings) : 0;
}

// The Windows name of a Linux path (Wine's drive Z: is the root).
std::string WindowsPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    for (char& c : text)
        if (c == '/') c = '\\';
    return text;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class WineInstaller : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* package = std::getenv("VR620_WINDOWS_PACKAGE");
        const char* upgrade = std::getenv("VR620_WINDOWS_UPGRADE");
        if (package == nullptr || upgrade == nullptr || !fs::exists(package) ||
            !fs::exists(upgrade))
            GTEST_SKIP() << "no installer packages (scripts/windows.sh runs this)";
        package_ = package;
        upgrade_ = upgrade;
        // Every Wine program of this test runs in this prefix, made afresh, with one server of
        // its own. scripts/windows.sh names where, so that it can end that server whatever
        // becomes of the test.
        const char* prefix = std::getenv("VR620_WINE_INSTALLER_PREFIX");
        prefix_ = prefix != nullptr ? fs::path(prefix) : dir / "wine";
        fs::remove_all(prefix_);
        setenv("WINEPREFIX", prefix_.c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        setenv("DISPLAY", "", 1);
        programFiles_ = prefix_ / "drive_c" / "Program Files" / "VR620";
        log_ = prefix_ / "drive_c" / "ProgramData" / "VR620" / "vr620-gatewayd.log";
    }
    void TearDown() override {
        if (!serverStarted_) return;
        ProgramRun kill("/usr/bin/wineserver", {"-k"}, Folder("kill"));
        kill.Wait(kProgramBound);
    }

    fs::path Folder(const std::string& name) {
        fs::create_directories(dir / "runs" / name);
        return dir / "runs" / name;
    }

    // Runs a program to its end within `bound`: its exit code, or -1 when it did not end.
    // Output goes to files: Wine's programs left running would hold a pipe open.
    int Run(const std::string& program, const std::vector<std::string>& args,
            std::chrono::milliseconds bound = kProgramBound) {
        const fs::path folder = Folder(std::to_string(++runs_));
        ProgramRun run(program, args, folder);
        if (!run.Wait(bound)) return -1;
        lastOutput_ = ReadFile(folder / "stdout.txt") + ReadFile(folder / "stderr.txt");
        return run.ExitCode();
    }
    int Wine(const std::vector<std::string>& args) { return Run("/usr/bin/wine", args); }

    // A fresh prefix whose COM1 is `line`, in the registry, where Wine's device manager takes
    // it from each time it starts; then one server for the whole test, and Wine's services,
    // whose debug output (that of the services they start included) goes to a file: the
    // Event Log's and the service manager's traces only.
    void MakePrefix(const fs::path& line) {
        ASSERT_EQ(Run("/usr/bin/wineboot", {"-i"}, kPrefixBound), 0) << lastOutput_;
        ASSERT_EQ(Wine({"reg", "add", "HKLM\\Software\\Wine\\Ports", "/v", "COM1", "/d",
                        line.string(), "/f"}),
                  0)
            << lastOutput_;
        ASSERT_EQ(Run("/usr/bin/wineserver", {"-w"}), 0);
        ASSERT_EQ(Run("/usr/bin/wineserver", {"-p"}), 0);
        serverStarted_ = true;
        setenv("WINEDEBUG", "-all,+eventlog,fixme+service", 1);
        ProgramRun services("/usr/bin/wineboot", {}, {dir / "services.out", services_});
        const bool started = services.Wait(kPrefixBound);
        setenv("WINEDEBUG", "-all", 1);
        ASSERT_TRUE(started);
        ASSERT_EQ(fs::read_symlink(prefix_ / "dosdevices" / "com1"), line);
    }

    std::string ServiceState() {
        Wine({"sc", "query", "vr620-gatewayd"});
        return lastOutput_;
    }

    // The Linux client through the service: its output, with the exit code in front.
    std::string Client(const std::vector<std::string>& request) {
        std::vector<std::string> args{"--host", "127.0.0.1", "--port", std::to_string(port_)};
        args.insert(args.end(), request.begin(), request.end());
        const int code = Run(VR620_TOOL_PATH, args);
        return std::to_string(code) + " " + lastOutput_;
    }

    vr620_test::TempDir dir;
    fs::path package_, upgrade_, prefix_, programFiles_, log_;
    fs::path services_ = dir / "services.err";
    int port_ = 0;
    int runs_ = 0;
    bool serverStarted_ = false;
    std::string lastOutput_;
};

TEST_F(WineInstaller, InstallsServesUpgradesStopsInOrderAndRemovesTheService) {
    const fs::path line = dir / "line";
    vr620_test::SimProcess sim({"--baud", "9600", "--link", line.string()});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    const speed_t idle = LineSpeed(line);
    ASSERT_NE(idle, B4800);
    MakePrefix(line);

    // A silent install, as administrators script it, on a port of the test's choosing.
    port_ = vr620_test::FreePort();
    ASSERT_EQ(
        Wine({"msiexec", "/i", WindowsPath(package_), "/qn", "PORT=" + std::to_string(port_)}), 0)
        << lastOutput_;
    for (const char* file :
         {"DUCTA.dll", "vr620-gatewayd.exe", "vr620.exe", "DUCTA.INI", "README.txt", "LICENCE.txt"})
        EXPECT_TRUE(fs::is_regular_file(programFiles_ / file)) << file;
    ASSERT_NE(ServiceState().find("RUNNING"), std::string::npos) << lastOutput_;

    // The Linux client writes and reads through it; its log has the lines.
    EXPECT_EQ(Client({"write", "0x0010", "5678"}), "0 OK\n");
    EXPECT_EQ(Client({"read", "0x0010"}), "0 56 78\n");
    const std::string served = ReadFile(log_);
    EXPECT_NE(served.find("Server started. Listening to port " + std::to_string(port_)),
              std::string::npos)
        << served;
    EXPECT_NE(served.find("SNVT_WRITE command received from client on "), std::string::npos);
    EXPECT_NE(served.find("SNVT_READ command received from client on "), std::string::npos);
    EXPECT_NE(served.find("\r\n"), std::string::npos) << "Windows line ends";
    // The Event Log's source, with the program as its message file; Wine keeps no events: the
    // call is seen in its trace.
    ASSERT_EQ(Wine({"reg", "query", kEventSource, "/v", "EventMessageFile"}), 0) << lastOutput_;
    EXPECT_NE(lastOutput_.find("C:\\Program Files\\VR620\\vr620-gatewayd.exe"), std::string::npos)
        << lastOutput_;
    EXPECT_NE(ReadFile(services_).find("ReportEventW L\"VR-620 gateway started: COM1 served on "
                                       "TCP port " +
                                       std::to_string(port_)),
              std::string::npos)
        << ReadFile(services_);
    // The recovery actions that the installer sets with sc reach Wine's service manager, which
    // neither keeps nor acts on them.
    EXPECT_NE(ReadFile(services_).find("SERVICE_CONFIG_FAILURE_ACTIONS not implemented: period "
                                       "86400"),
              std::string::npos);

    // An edited DUCTA.INI, then the next version installed over it without options: the file
    // and the port stay, the service runs again.
    const fs::path ini = programFiles_ / "DUCTA.INI";
    const std::string edited = ReadFile(ini) + "[Direct]\r\nBaudRate=9600\r\n";
    vr620_test::WriteFile(ini, edited);
    ASSERT_EQ(Wine({"msiexec", "/i", WindowsPath(upgrade_), "/qn"}), 0) << lastOutput_;
    EXPECT_EQ(ReadFile(ini), edited);
    ASSERT_NE(ServiceState().find("RUNNING"), std::string::npos) << lastOutput_;
    EXPECT_EQ(Count(ReadFile(log_), "Listening to port " + std::to_string(port_)), 2u);
    EXPECT_EQ(Client({"read", "0x0010"}), "0 56 78\n");

    // net stop while a client holds the device open: the line is closed in order (it gets back
    // the settings it had before the open), and the service stops with exit code 0.
    vr620::GatewayClient holder;
    const auto opened = holder.Connect("127.0.0.1", port_, 10s);
    ASSERT_TRUE(opened.Ok()) << opened.Why().words;
    const auto connected = holder.DeviceConnect();
    ASSERT_TRUE(connected.Ok() && connected.Value().Ok())
        << (connected.Ok() ? std::string() : connected.Why().words);
    EXPECT_EQ(LineSpeed(line), B9600);
    ASSERT_EQ(Wine({"net", "stop", "vr620-gatewayd"}), 0) << lastOutput_;
    const std::string stopped = ServiceState();
    EXPECT_NE(stopped.find("STOPPED"), std::string::npos) << stopped;
    EXPECT_NE(stopped.find("WIN32_EXIT_CODE    : 0 "), std::string::npos) << stopped;
    EXPECT_EQ(LineSpeed(line), idle);
    const std::string log = ReadFile(log_);
    EXPECT_TRUE(log.ends_with("  Exiting server thread...\r\n")) << log;
    EXPECT_NE(ReadFile(services_).find("ReportEventW L\"VR-620 gateway stopped\""),
              std::string::npos);

    // A silent removal: the service and the files go, the edited DUCTA.INI stays.
    ASSERT_EQ(Wine({"msiexec", "/x", WindowsPath(upgrade_), "/qn"}), 0) << lastOutput_;
    EXPECT_EQ(ServiceState(), "") << "sc query of a missing service prints nothing";
    EXPECT_NE(Wine({"reg", "query", kEventSource}), 0) << "the source is gone too";
    EXPECT_EQ(ReadFile(ini), edited);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(programFiles_))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"DUCTA.INI"});
}

}  // namespace
