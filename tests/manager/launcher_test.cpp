// Starting the client programs: the name from the configuration file, resolved against the
// manager's folder, the command line, the started process's arguments, current directory and
// descriptors, the error box with the reason on the debug output, and no child left to the
// manager; in remote mode with TLS settings, through the manager's relay to a real TLS gateway.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLabel>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "client_launcher.h"
#include "gatewayd_process.h"
#include "local_host.h"
#include "program_run.h"
#include "shell_fixture.h"
#include "sim_process.h"

namespace {

namespace fs = std::filesystem;
using vr620_test::WaitFor;

TEST(ClientProgramNameTest, FullNamesBecomeRelativeToTheManagersFolder) {
    const fs::path manager = "/opt/vr620/VR620Manager";
    using manager::ResolveClientProgram;
    EXPECT_EQ(ResolveClientProgram("/opt/vr620/VR620Settings", manager), "VR620Settings");
    EXPECT_EQ(ResolveClientProgram("/opt/vr620/Clients/VR620Settings", manager),
              "Clients/VR620Settings");
    EXPECT_EQ(ResolveClientProgram("/opt/other/bin/x", manager), "../other/bin/x");
    EXPECT_EQ(ResolveClientProgram("/usr/bin/x", manager), "../../usr/bin/x");
    // Folders that differ by case are different folders.
    EXPECT_EQ(ResolveClientProgram("/opt/VR620/x", manager), "../VR620/x");
    // Without a leading "/" there is no root in common: unchanged, blanks and all.
    EXPECT_EQ(ResolveClientProgram("VR620Settings", manager), "VR620Settings");
    EXPECT_EQ(ResolveClientProgram("sub dir/my prog", manager), "sub dir/my prog");
    EXPECT_EQ(ResolveClientProgram("../x", manager), "../x");
}

TEST(ClientProgramNameTest, CommandLineAndItsArguments) {
    EXPECT_EQ(manager::ClientCommandLine("VR620Configurator", "localhost", 7105, "FIN"),
              "VR620Configurator HOST=localhost PORT=7105 LANG=FIN");
    EXPECT_EQ(manager::ClientCommandLine("a b", "my host", -1, ""),
              "a b HOST=my host PORT=-1 LANG=");
    EXPECT_EQ(manager::SplitAtBlanks("a b  HOST= PORT=1 LANG="),
              (std::vector<std::string>{"a", "b", "HOST=", "PORT=1", "LANG="}));
}

struct Record {
    std::string cwd;
    std::string fds;
    std::vector<std::string> argv;
};

// True when this process has no child, running or ended: a started client is none of its
// children, so none can stay behind as a zombie.
bool NoChildLeft() {
    siginfo_t info{};
    return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
}

class LauncherTest : public vr620_test::ManagerTest {
  protected:
    LauncherTest() {
        fs::create_directory(records_);
        vr620_test::InstallLanguages(*this, folder.Path());
        setenv("VR620_TEST_CLIENT_RECORD", records_.c_str(), 1);
        previousCwd_ = fs::current_path();
        fs::current_path(folder.Path());
        windows.mainForm.SetWindows(&windows.aboutBox, &windows.connectSettings, &windows.logForm);
    }
    ~LauncherTest() override {
        fs::current_path(previousCwd_);
        unsetenv("VR620_TEST_CLIENT_RECORD");
    }

    void InstallClient(const fs::path& name) const {
        fs::create_directories((folder.Path() / name).parent_path());
        fs::copy_file(VR620_TEST_CLIENT, folder.Path() / name,
                      fs::copy_options::overwrite_existing);
    }

    std::vector<Record> Records() const {
        std::vector<Record> records;
        for (const auto& entry : fs::directory_iterator(records_)) {
            if (entry.path().extension() != ".txt") continue;
            std::ifstream in(entry.path());
            Record record;
            std::getline(in, record.cwd);
            std::getline(in, record.fds);
            for (std::string line; std::getline(in, line);) record.argv.push_back(line);
            records.push_back(record);
        }
        return records;
    }

    // Waits for `count` records; the clients are no children of the manager's.
    std::vector<Record> WaitForRecords(std::size_t count) {
        EXPECT_TRUE(WaitFor([&] { return Records().size() >= count; }));
        EXPECT_TRUE(NoChildLeft());
        return Records();
    }

    // The program as the client sees itself started: by its full path.
    std::string FullPath(const std::string& name) const {
        return (fs::canonical(folder.Path()) / name).string();
    }

    vr620_test::Windows windows;

  private:
    fs::path records_ = folder.Path() / "records";
    fs::path previousCwd_;
};

TEST_F(LauncherTest, DefaultProgramStartedFromTheCurrentFolderWithTheDefaults) {
    InstallClient("VR620Configurator");
    // What the start sequence sets without configuration file or command line.
    windows.mainForm.Language = "FIN";
    // The manager's own descriptors (all close-on-exec) stay with the manager.
    const int own = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(own, 0);
    windows.mainForm.BitBtn_Configure->click();
    std::vector<Record> records = WaitForRecords(1);
    close(own);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].argv,
              (std::vector<std::string>{FullPath("VR620Configurator"), "HOST=localhost",
                                        "PORT=7105", "LANG=FIN"}));
    EXPECT_EQ(fs::path(records[0].cwd), fs::canonical(folder.Path()));
    EXPECT_EQ((records[0].fds + " ").find(" " + std::to_string(own) + " "), std::string::npos)
        << records[0].fds;
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LauncherTest, HostPortAndEmptyLanguageFromTheManagersCommandLine) {
    InstallClient("VR620Settings");
    windows.mainForm.ParseCommandLine({"HOST=far.example", "PORT=7300", "LANG="});
    windows.mainForm.MenuItem_Settings->trigger();
    std::vector<Record> records = WaitForRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].argv,
              (std::vector<std::string>{FullPath("VR620Settings"), "HOST=far.example", "PORT=7300",
                                        "LANG="}));
}

TEST_F(LauncherTest, APortOutsideTheTcpRangeIs7105ForTheGatewayAndTheClients) {
    InstallClient("VR620Settings");
    const std::vector<std::string> bad{"0", "65536", "70000", "-1"};
    for (const std::string& port : bad) {
        windows.mainForm.ParseCommandLine({"PORT=7300", "PORT=" + port});
        // The start sequence hands the gateway this very number.
        EXPECT_EQ(windows.mainForm.Port, 7105) << port;
        windows.mainForm.BitBtn_Settings->click();
    }
    const std::vector<Record> records = WaitForRecords(bad.size());
    ASSERT_EQ(records.size(), bad.size());
    for (const Record& record : records) EXPECT_EQ(record.argv.at(2), "PORT=7105");
}

TEST_F(LauncherTest, FullPathInASubfolderIsStartedRelativeToTheCurrentFolder) {
    InstallClient("Clients/time programs");
    vr620_test::WriteFile(folder.Path() / "VR620Manager.INI",
                          "[APPLICATIONS]\r\nTIMEPROG_APPLICATION_NAME=" +
                              (folder.Path() / "Clients/time programs").string() + "\r\n");
    windows.mainForm.Language = "ENG";
    // Three clicks, three copies; the blank in the name belongs to the name.
    for (int i = 0; i < 3; ++i) windows.mainForm.BitBtn_TimePrograms->click();
    std::vector<Record> records = WaitForRecords(3);
    ASSERT_EQ(records.size(), 3u);
    for (const Record& record : records) {
        EXPECT_EQ(record.argv,
                  (std::vector<std::string>{FullPath("Clients/time programs"), "HOST=localhost",
                                            "PORT=7105", "LANG=ENG"}));
    }
}

TEST_F(LauncherTest, MissingOrUnrunnableProgramShowsTheErrorBoxAndTheReason) {
    windows.mainForm.Language = "FIN";
    // Found nowhere but on the PATH: not started.
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (folder.Path() / "elsewhere").c_str(), 1);
    InstallClient("elsewhere/VR620Configurator");
    windows.mainForm.BitBtn_Configure->click();
    setenv("PATH", path.c_str(), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, manager::BoxIcon::Error);
    EXPECT_EQ(boxes[0].buttons, manager::BoxButtons::Ok);
    // The box names the program and the system's reason behind its own words.
    EXPECT_TRUE(boxes[0].text.starts_with("Asiakasohjelmaa ei voitu käynnistää.\n\n"));
    EXPECT_NE(boxes[0].text.find(FullPath("VR620Configurator") + ": "), std::string::npos)
        << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("No such file or directory"), std::string::npos);

    vr620_test::WriteFile(folder.Path() / "VR620Settings", "not a program");
    chmod((folder.Path() / "VR620Settings").c_str(), 0644);
    windows.mainForm.BitBtn_Settings->click();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[1].text.find(FullPath("VR620Settings") + ": "), std::string::npos);
    EXPECT_NE(boxes[1].text.find("Permission denied"), std::string::npos) << boxes[1].text;
    EXPECT_TRUE(NoChildLeft());

    // The window stays usable.
    InstallClient("VR620Configurator");
    windows.mainForm.BitBtn_Configure->click();
    EXPECT_EQ(WaitForRecords(1).size(), 1u);
    EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(LauncherTest, AWindowsProgramStartsThroughWineOrTheBoxSaysWineIsMissing) {
    windows.mainForm.Language = "FIN";
    vr620_test::WriteFile(folder.Path() / "VR620Manager.INI",
                          "[APPLICATIONS]\r\nCONFIG_APPLICATION_NAME=VR620Configurator.Exe\r\n"
                          "SETTINGS_APPLICATION_NAME=Missing.exe\r\n");
    vr620_test::WriteFile(folder.Path() / "VR620Configurator.Exe", "MZ");
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (folder.Path() / "bin").c_str(), 1);

    // No Wine: the error box, and the debug output says why.
    testing::internal::CaptureStderr();
    windows.mainForm.BitBtn_Configure->click();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Wine is missing"), std::string::npos);
    EXPECT_EQ(boxes.size(), 1u);

    // Wine on the PATH (here the recording client in its place) is given the program first.
    InstallClient("bin/wine");
    windows.mainForm.BitBtn_Configure->click();
    // A missing Windows program fails here, not later inside Wine.
    testing::internal::CaptureStderr();
    windows.mainForm.BitBtn_Settings->click();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("No such file"), std::string::npos);
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(boxes.size(), 2u);
    const std::vector<Record> records = WaitForRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].argv,
              (std::vector<std::string>{FullPath("bin/wine"), FullPath("VR620Configurator.Exe"),
                                        "HOST=localhost", "PORT=7105", "LANG=FIN"}));
}

TEST_F(LauncherTest, RemoteModeWithTlsSettingsStartsTheClientsThroughItsRelay) {
    // The remote gateway is this machine's too, reached at another loopback address.
    if (gateway::IsLocalHost("127.0.0.2")) GTEST_SKIP() << "127.0.0.2 names this machine";
    vr620_test::SimProcess sim({"--baud", "38400", "--turnaround", "1"});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    gateway_test::Gatewayd remote(folder);
    remote.WriteIni("[Ports]\r\nCOM1=" + sim.DevicePath() + "\r\n[Direct]\r\nBaudRate=38400\r\n");
    // Keys made by the gateway's own command; each side trusts the other's.
    const auto makeKey = [&](const std::string& name) {
        vr620_test::ProgramRun made(VR620_GATEWAYD_PATH,
                                    {"--tls-make-key", (folder.Path() / name).string()},
                                    vr620_test::ProgramRun::Streams{folder.Path() / (name + ".out"),
                                                                    folder.Path() / (name + ".err")});
        EXPECT_TRUE(made.Wait());
        return gateway_test::LastLine(made.Stdout());
    };
    vr620_test::WriteFile(folder.Path() / "gateway.trust", makeKey("manager") + "\n");
    vr620_test::WriteFile(folder.Path() / "manager.trust", makeKey("gateway") + "\n");
    const int tlsPort = vr620_test::FreePort();
    const auto file = [&](const std::string& name) { return (folder.Path() / name).string(); };
    ASSERT_TRUE(remote.Start({"--tls-port", std::to_string(tlsPort), "--tls-cert",
                              file("gateway/cert.pem"), "--tls-key", file("gateway/key.pem"),
                              "--tls-trust", file("gateway.trust")},
                             false));

    // The configured port is taken: the relay listens on one that the system chooses.
    const int port = vr620_test::FreePort();
    const int holder = gateway::CreateServerSocket(port).Value();
    vr620_test::WriteFile(folder.Path() / "VR620Manager.INI",
                          "[GATEWAY_SETTINGS]\r\nTlsPort=" + std::to_string(tlsPort) +
                              "\r\nTlsCertificate=" + file("manager/cert.pem") +
                              "\r\nTlsKey=" + file("manager/key.pem") +
                              "\r\nTlsTrust=" + file("manager.trust") + "\r\n");
    InstallClient("VR620Configurator");
    setenv("VR620_TEST_CLIENT_READ", "0102", 1);
    windows.mainForm.ParseCommandLine({"HOST=127.0.0.2", "PORT=" + std::to_string(port), "LANG=FIN"});
    windows.mainForm.show();
    ASSERT_TRUE(WaitFor([] { return gateway::GatewayServerRunning(); }));
    const int relayPort = gateway::GatewayServerPort();
    EXPECT_NE(relayPort, port);
    // Remote mode as it looks: no connection settings.
    EXPECT_FALSE(windows.mainForm.BitBtn_ConnectionSettings->isVisible());
    EXPECT_TRUE(windows.mainForm.Label_RemoteConnection->isVisible());

    windows.mainForm.BitBtn_Configure->click();
    ASSERT_TRUE(WaitFor([&] { return Records().size() == 1; }));
    unsetenv("VR620_TEST_CLIENT_READ");
    EXPECT_EQ(Records()[0].argv,
              (std::vector<std::string>{FullPath("VR620Configurator"), "HOST=localhost",
                                        "PORT=" + std::to_string(relayPort), "LANG=FIN"}));
    std::string read;
    for (const auto& entry : fs::directory_iterator(folder.Path() / "records"))
        if (entry.path().extension() == ".read") read = vr620_test::ReadFile(entry.path());
    EXPECT_EQ(read, "AA BB\n");
    EXPECT_TRUE(boxes.empty());

    EXPECT_TRUE(WaitFor([] { return gateway::GetClientCount() == 0; }));
    windows.mainForm.close();
    EXPECT_TRUE(WaitFor([] { return !gateway::GatewayServerRunning(); }));
    gateway::DestroyServerSocket(holder);
    EXPECT_TRUE(remote.StopsCleanly()) << remote.Run().Stderr();
}

}  // namespace
