// The capture of the serial line ([Trace] in DUCTA.INI), made through a library copy against
// vr620-sim over its pseudo-terminal and read back by Debian's tshark with
// tools/wireshark/vr620.lua; two ports from one library folder, each in a file of its own; the
// gateway protocol from a TCP capture through the same plug-in; and a capture that cannot go on,
// which never fails a transfer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../support/ducta_copy.h"
#include "../support/temp_dir.h"
#include "loopback.h"
#include "pcapng.h"
#include "program_run.h"
#include "sim_process.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<std::vector<std::string>>;

const char* const kInit = "ATE0S0=1\r;AT&W\r";
const char* const kDial = "ATDT 12345678\r";
const char* const kHangUp = ";+++;ATH\r";
const std::string kSent = "0x00000002";  // the direction flag as tshark prints it
const std::string kReceived = "0x00000001";

// tshark on the PATH, or empty.
fs::path Tshark() {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const fs::path candidate = fs::path(folder) / "tshark";
        if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

class Capture : public ::testing::Test {
  protected:
    vr620_test::TempDir dir;
    vr620_test::DuctaCopy lib{dir.Path()};
    std::unique_ptr<vr620_test::SimProcess> sim;
    fs::path tshark = Tshark();

    void SetUp() override { fs::create_directory(dir / "tshark"); }
    void TearDown() override { lib.module_close(); }  // while the sim still answers

    void StartSim(const std::vector<std::string>& args) {
        sim = std::make_unique<vr620_test::SimProcess>(args);
        ASSERT_TRUE(sim->Started()) << sim->Error();
        lib.module_open();
    }
    void WriteIni(const std::string& rest) {
        lib.WriteIni("[Ports]\r\nCOM1=" + sim->DevicePath() + "\r\n" + rest);
    }

    struct Reply {
        uint16_t result = 0;
        std::vector<uint8_t> data;
    };
    Reply Transact(uint16_t index, uint8_t command, const Bytes& value = {}) {
        Reply r;
        EXPECT_EQ(lib.Write(0, 0, index, command, value.empty() ? nullptr : value.data(),
                            static_cast<uint16_t>(value.size())),
                  DCT_RESULT_OK);
        uint8_t data[DCT_READ_BUFFER_SIZE] = {};
        uint16_t idx = 0, length = 0;
        uint8_t cmd = 0, ok = 0;
        r.result = lib.Read(0, 0, &idx, &cmd, &ok, data, &length);
        if (length <= DCT_MAX_DATA) r.data.assign(data, data + length);
        return r;
    }

    // The fields of every packet that `filter` selects, one row a packet, after both passes
    // (so that a request knows whether a reply came).
    Rows Dissect(const fs::path& capture, const std::string& filter,
                 const std::vector<std::string>& fields,
                 const std::vector<std::string>& options = {}) {
        std::vector<std::string> args{"-n", "-2",
                                      "-X", std::string("lua_script:") + VR620_DISSECTOR,
                                      "-r", capture.string(),
                                      "-Y", filter,
                                      "-T", "fields"};
        args.insert(args.end(), options.begin(), options.end());
        for (const std::string& f : fields) {
            args.push_back("-e");
            args.push_back(f);
        }
        vr620_test::ProgramRun run(tshark.string(), args, dir / "tshark");
        EXPECT_EQ(run.StartError(), "");
        EXPECT_TRUE(run.Wait(std::chrono::seconds(120))) << "tshark did not end";
        EXPECT_EQ(run.ExitCode(), 0) << run.Stderr();
        // A Lua error does not fail tshark: the plug-in must load without one.
        EXPECT_EQ(run.Stderr().find("Lua"), std::string::npos) << run.Stderr();
        Rows rows;
        std::stringstream lines(run.Stdout());
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> row;
            std::stringstream cells(line);
            for (std::string cell; std::getline(cells, cell, '\t');) row.push_back(cell);
            row.resize(fields.size());
            rows.push_back(row);
        }
        return rows;
    }
};

#define SKIP_WITHOUT_TSHARK() \
    if (tshark.empty()) GTEST_SKIP() << "tshark is not installed (scripts/deps.sh installs it)"

TEST_F(Capture, ReadWriteTimeOutAndBadChecksumReadBackFrameByFrame) {
    SKIP_WITHOUT_TSHARK();
    // 4800 bit/s: the sim's replies come a byte or two at a time, so the plug-in has to put the
    // frames together from several packets. A relative File is taken beside DUCTA.INI.
    StartSim({"--baud", "4800"});
    WriteIni("[Trace]\r\nFile=line.pcapng\r\n");
    const auto before = std::chrono::system_clock::now();
    ASSERT_EQ(lib.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    EXPECT_EQ(Transact(0x0102, DCT_COMMAND_READ).data, (Bytes{0xAA, 0xBB}));
    EXPECT_EQ(Transact(0x0010, DCT_COMMAND_WRITE, {0x56, 0x78}).result, DCT_RESULT_OK);
    EXPECT_EQ(Transact(0xFF01, DCT_COMMAND_READ).result, DCT_RESULT_TIMEOUT);
    EXPECT_EQ(Transact(0xFF02, DCT_COMMAND_READ).result, DCT_RESULT_CHECKSUM);
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    // A second open appends a section of its own; the first stays as it was.
    // Its last request has no reply, and nothing comes after it in the file.
    ASSERT_EQ(lib.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    EXPECT_EQ(Transact(0x0010, DCT_COMMAND_READ).data, (Bytes{0x56, 0x78}));
    EXPECT_EQ(Transact(0xFF01, DCT_COMMAND_READ).result, DCT_RESULT_TIMEOUT);
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    const auto after = std::chrono::system_clock::now();

    const Rows frames = Dissect(dir / "line.pcapng", "vr620.line.index",
                                {"frame.section_number", "frame.packet_flags_direction",
                                 "vr620.line.command", "vr620.line.index", "vr620.line.data",
                                 "vr620.line.checksum.status", "_ws.expert.message"});
    const std::string noReply = "No reply (time-out)";
    const Rows expected{
        {"1", kSent, "0x81", "0x0102", "", "1", ""},
        {"1", kReceived, "0x80", "0x0102", "aa bb", "1", ""},
        {"1", kSent, "0x82", "0x0010", "56 78", "1", ""},
        {"1", kReceived, "0x82", "0x0010", "", "1", ""},
        {"1", kSent, "0x81", "0xff01", "", "1", noReply},
        {"1", kSent, "0x81", "0xff02", "", "1", ""},
        {"1", kReceived, "0x80", "0xff02", "ff 02", "0", "Wrong checksum"},
        {"2", kSent, "0x81", "0x0010", "", "1", ""},
        {"2", kReceived, "0x80", "0x0010", "56 78", "1", ""},
        {"2", kSent, "0x81", "0xff01", "", "1", noReply},
    };
    EXPECT_EQ(frames, expected);

    // Every chunk is a packet of its own, stamped with the time it went over the line.
    const Rows packets = Dissect(dir / "line.pcapng", "vr620.line", {"frame.time_epoch"});
    EXPECT_GT(packets.size(), expected.size() + 4);
    const auto seconds = [](auto t) {
        return std::chrono::duration<double>(t.time_since_epoch()).count();
    };
    for (const auto& p : packets) {
        EXPECT_GE(std::stod(p[0]), seconds(before) - 0.001);
        EXPECT_LE(std::stod(p[0]), seconds(after) + 0.001);
    }
}

TEST_F(Capture, ModemDialHoldsTheModemsTextBesideTheFrames) {
    SKIP_WITHOUT_TSHARK();
    StartSim({"--baud", "9600", "--modem", "--guard-ms", "200"});
    WriteIni("[Trace]\r\nFile=" + (dir / "modem.pcapng").string() + "\r\n");
    ASSERT_EQ(lib.Open(0, 0, 0, kInit, kDial, kHangUp, 0), DCT_RESULT_OK);
    EXPECT_EQ(Transact(0x0102, DCT_COMMAND_READ).data, (Bytes{0xAA, 0xBB}));
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);

    const Rows rows = Dissect(dir / "modem.pcapng",
                              "vr620.modem.result || vr620.line.index || (vr620.modem && "
                              "frame.packet_flags_direction == 2)",
                              {"frame.packet_flags_direction", "vr620.modem.text",
                               "vr620.modem.result", "vr620.line.index", "vr620.line.data"});
    // The commands as sent, each result in the answer that completes it (the answer comes in
    // pieces as the line brings it), the frames between the CONNECT and the hang-up.
    std::vector<std::string> events;
    for (const auto& r : rows) {
        if (!r[2].empty()) {
            events.push_back("result " + r[2]);
        } else if (!r[3].empty()) {
            events.push_back((r[0] == kSent ? "request " : "reply ") + r[3] + " " + r[4]);
        } else {
            events.push_back("command " + r[1]);
        }
    }
    const std::vector<std::string> expected{
        "command ATE0S0=1\\r",
        "result OK",
        "command AT&W\\r",
        "result OK",
        "command ATDT 12345678\\r",
        "result CONNECT 9600/ARQ",
        "request 0x0102 ",
        "reply 0x0102 aa bb",
        "command +++",
        "result OK",
        "command ATH\\r",
        "result OK",
    };
    EXPECT_EQ(events, expected);
}

// Two gateways beside one library, on COM1 and COM2, with one [Trace] File=, reading at the same
// time: the first to open its port writes the file, the other a file with its port in the name
// (and says so); each file decodes whole, every request answered, on its own port alone.
TEST_F(Capture, TwoPortsFromOneLibraryFolderWriteAFileEach) {
    SKIP_WITHOUT_TSHARK();
    const std::vector<std::string> line{"--baud", "38400", "--turnaround", "1"};
    vr620_test::SimProcess one(line), two(line);
    ASSERT_TRUE(one.Started()) << one.Error();
    ASSERT_TRUE(two.Started()) << two.Error();
    fs::copy_file(VR620_GATEWAYD_PATH, dir / "vr620-gatewayd");  // beside the fixture's library
    lib.WriteIni("[Ports]\r\nCOM1=" + one.DevicePath() + "\r\nCOM2=" + two.DevicePath() +
                 "\r\n[Direct]\r\nBaudRate=38400\r\n[Trace]\r\nFile=line.pcapng\r\n");
    std::vector<std::unique_ptr<vr620_test::ProgramRun>> gateways, clients;
    for (const std::string com : {"1", "2"}) {
        const int port = vr620_test::FreePort();
        gateways.push_back(std::make_unique<vr620_test::ProgramRun>(
            (dir / "vr620-gatewayd").string(),
            std::vector<std::string>{"--com", com, "--port", std::to_string(port), "--bind",
                                     "127.0.0.1"},
            vr620_test::ProgramRun::Streams{dir / ("gateway" + com + ".out"),
                                            dir / ("gateway" + com + ".err")}));
        ASSERT_TRUE(vr620_test::WaitUntil([&] {
            return gateways.back()->Stdout().find("Listening to port") != std::string::npos;
        })) << gateways.back()->Stderr();
        clients.push_back(std::make_unique<vr620_test::ProgramRun>(
            VR620_TOOL_PATH,
            std::vector<std::string>{"--port", std::to_string(port), "bench", "--requests", "100",
                                     "0x0102"},
            vr620_test::ProgramRun::Streams{dir / ("client" + com + ".out"),
                                            dir / ("client" + com + ".err")}));
    }
    for (auto& client : clients) {
        ASSERT_TRUE(client->Wait(std::chrono::seconds(60)));
        EXPECT_EQ(client->ExitCode(), 0) << client->Stderr();
    }
    for (auto& gateway : gateways) EXPECT_EQ(WEXITSTATUS(gateway->Stop()), 0);

    // Which port came second is the race's; it said so in its one debug line.
    const bool comOneSecond = fs::exists(dir / "line-COM1.pcapng");
    const std::string second = comOneSecond ? "COM1" : "COM2";
    const fs::path own = dir / ("line-" + second + ".pcapng");
    ASSERT_TRUE(fs::exists(own));
    EXPECT_FALSE(fs::exists(dir / (comOneSecond ? "line-COM2.pcapng" : "line-COM1.pcapng")));
    const auto debugLines = [](const std::string& said) {
        std::vector<std::string> lines;
        std::stringstream in(said);
        for (std::string line; std::getline(in, line);)
            if (line.starts_with("ducta: ")) lines.push_back(line);
        return lines;
    };
    EXPECT_EQ(debugLines(gateways[comOneSecond ? 0 : 1]->Stderr()),
              std::vector<std::string>{"ducta: capture " + (dir / "line.pcapng").string() +
                                       " in use by another process: " + second + " writes " +
                                       own.string()});
    EXPECT_EQ(debugLines(gateways[comOneSecond ? 1 : 0]->Stderr()), std::vector<std::string>{});
    const std::string first = comOneSecond ? "COM2" : "COM1";
    for (const auto& [file, com] : {std::pair{dir / "line.pcapng", first}, {own, second}}) {
        const Rows frames = Dissect(file, "vr620.line.index",
                                    {"vr620.line.port", "vr620.line.command",
                                     "vr620.line.checksum.status", "vr620.line.no_reply"});
        ASSERT_EQ(frames.size(), 200u) << file;
        for (const auto& f : frames) {
            EXPECT_TRUE(f[0].starts_with(com + " direct, 38400 bit/s (")) << f[0];
            EXPECT_EQ(f[2], "1") << file;
            EXPECT_EQ(f[3], "") << file;
        }
        EXPECT_EQ(std::count_if(frames.begin(), frames.end(),
                                [](const auto& f) { return f[1] == "0x80"; }),
                  100);
    }
}

// A TCP capture of two gateways, one on 7105 and one on a port of the user's choice, built
// here: IPv4 packets carrying a client's messages, one split across two segments, two sent in
// one segment.
class TcpCapture {
  public:
    TcpCapture() {
        ducta::pcapng::AppendSectionHeader(file_, "test");
        ducta::pcapng::AppendInterface(file_, 101 /* raw IPv4 */, "lo", "");
    }
    // A connection from `clientPort` to `serverPort`, opened with the three-way handshake.
    struct Flow {
        uint16_t client, server;
        uint32_t clientSeq = 1000, serverSeq = 50000;
    };
    Flow Open(uint16_t clientPort, uint16_t serverPort) {
        Flow f{clientPort, serverPort};
        Segment(f.client, f.server, f.clientSeq++, 0, 0x02, {});
        Segment(f.server, f.client, f.serverSeq++, f.clientSeq, 0x12, {});
        Segment(f.client, f.server, f.clientSeq, f.serverSeq, 0x10, {});
        return f;
    }
    void FromClient(Flow& f, const Bytes& payload) {
        Segment(f.client, f.server, f.clientSeq, f.serverSeq, 0x18, payload);
        f.clientSeq += static_cast<uint32_t>(payload.size());
    }
    void FromServer(Flow& f, const Bytes& payload) {
        Segment(f.server, f.client, f.serverSeq, f.clientSeq, 0x18, payload);
        f.serverSeq += static_cast<uint32_t>(payload.size());
    }
    void Save(const fs::path& path) const {
        vr620_test::WriteFile(path, std::string(file_.begin(), file_.end()));
    }

  private:
    void Segment(uint16_t from, uint16_t to, uint32_t seq, uint32_t ack, uint8_t flags,
                 const Bytes& payload) {
        Bytes p(40);
        const auto put16 = [&p](std::size_t at, uint32_t v) {
            p[at] = static_cast<uint8_t>(v >> 8);
            p[at + 1] = static_cast<uint8_t>(v);
        };
        const auto put32 = [&](std::size_t at, uint32_t v) {
            put16(at, v >> 16);
            put16(at + 2, v & 0xFFFF);
        };
        p[0] = 0x45;  // IPv4, 20-byte header
        put16(2, static_cast<uint32_t>(40 + payload.size()));
        p[8] = 64;  // time to live
        p[9] = 6;   // TCP
        put32(12, 0x7F000001);
        put32(16, 0x7F000001);
        uint32_t sum = 0;
        for (std::size_t i = 0; i < 20; i += 2) sum += static_cast<uint32_t>(p[i] << 8 | p[i + 1]);
        while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
        put16(10, ~sum & 0xFFFF);
        put16(20, from);
        put16(22, to);
        put32(24, seq);
        put32(28, ack);
        p[32] = 5 << 4;  // 20-byte header
        p[33] = flags;
        put16(34, 65535);
        p.insert(p.end(), payload.begin(), payload.end());
        ducta::pcapng::AppendPacket(file_, 0, 1'700'000'000'000'000ULL + 1000 * packets_++,
                                    ducta::pcapng::Direction::kOutbound, {}, p);
    }

    Bytes file_;
    uint64_t packets_ = 0;
};

TEST_F(Capture, GatewayMessagesAreTakenApartOnEveryPortTheUserNames) {
    SKIP_WITHOUT_TSHARK();
    TcpCapture tcp;
    auto a = tcp.Open(40001, 7105);
    tcp.FromClient(a, {0x00, 0x00, 0x00});  // SNVT_READ of 0x0102, split
    tcp.FromClient(a, {0x05, 0x00, 0x03, 0x01, 0x02, 0x00});
    tcp.FromServer(a, {0x00, 0x00, 0x00, 0x07, 0x00, 0x03, 0x01, 0x02, 0x00, 0xAA, 0xBB});
    // SNVT_WRITE of 12 34 to 0x0010 and DEVICE_DISCONNECT in one segment, both answered at once.
    tcp.FromClient(a, {0x00, 0x00, 0x00, 0x07, 0x00, 0x04, 0x00, 0x10, 0x00, 0x12,
                       0x34, 0x00, 0x00, 0x00, 0x05, 0x00, 0x02, 0x00, 0x00, 0x00});
    tcp.FromServer(a, {0x00, 0x00, 0x00, 0x05, 0x00, 0x04, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x05,
                       0x00, 0x02, 0x00, 0x00, 0x00});
    auto b = tcp.Open(40002, 17105);
    tcp.FromClient(b, {0x00, 0x00, 0x00, 0x05, 0x00, 0x03, 0x77, 0x77, 0x00});
    tcp.FromServer(b, {0x00, 0x00, 0x00, 0x05, 0x00, 0x03, 0x77, 0x77, 0xFF});
    tcp.Save(dir / "tcp.pcapng");

    const Rows rows = Dissect(dir / "tcp.pcapng", "vr620",
                              {"tcp.dstport", "vr620.reply", "vr620.command", "vr620.snvt",
                               "vr620.status", "vr620.data_length", "vr620.data"},
                              {"-o", "vr620.tcp_ports:7105,17105"});
    const Rows expected{
        {"7105", "0", "3", "0x0102", "0x00", "0", ""},
        {"40001", "1", "3", "0x0102", "0x00", "2", "aa bb"},
        {"7105", "0,0", "4,2", "0x0010,0x0000", "0x00,0x00", "2,0", "12 34"},
        {"40001", "1,1", "4,2", "0x0010,0x0000", "0x00,0x00", "0,0", ""},
        {"17105", "0", "3", "0x7777", "0x00", "0", ""},
        {"40002", "1", "3", "0x7777", "0xff", "0", ""},
    };
    EXPECT_EQ(rows, expected);
}

TEST_F(Capture, ACaptureThatCannotGoOnNeverFailsATransfer) {
    StartSim({"--baud", "115200"});
    // A folder that does not exist: one debug line, and the line works as without [Trace].
    WriteIni("[Direct]\r\nBaudRate=115200\r\n[Trace]\r\nFile=" +
             (dir / "none/line.pcapng").string() + "\r\n");
    testing::internal::CaptureStderr();
    ASSERT_EQ(lib.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Transact(0x0102, DCT_COMMAND_READ).result, DCT_RESULT_OK);
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    std::string debug = testing::internal::GetCapturedStderr();
    EXPECT_EQ(debug, "ducta: capture " + (dir / "none/line.pcapng").string() +
                         " not written: cannot open: No such file or directory\n");
    EXPECT_FALSE(fs::exists(dir / "none"));

    // MaxSize: a file with little room left takes what fits, then the capture stops with one
    // line while the reads go on. What was there before stays as it was.
    const std::string earlier(999'000, 'x');
    vr620_test::WriteFile(dir / "full.pcapng", earlier);
    WriteIni("[Direct]\r\nBaudRate=115200\r\n[Trace]\r\nFile=full.pcapng\r\nMaxSize=1\r\n");
    testing::internal::CaptureStderr();
    ASSERT_EQ(lib.Open(0, 0, 0, nullptr, nullptr, nullptr, 0), DCT_RESULT_OK);
    for (int i = 0; i < 5; ++i) {
        const Reply r = Transact(0x0300, DCT_COMMAND_READ);  // 253 bytes of data
        EXPECT_EQ(r.result, DCT_RESULT_OK);
        EXPECT_EQ(r.data.size(), 253u);
    }
    EXPECT_EQ(lib.Close(0, 0), DCT_RESULT_OK);
    debug = testing::internal::GetCapturedStderr();
    EXPECT_EQ(debug, "ducta: capture " + (dir / "full.pcapng").string() +
                         " stopped: MaxSize of 1 MB reached\n");
    const std::string content = vr620_test::ReadFile(dir / "full.pcapng");
    EXPECT_GT(content.size(), earlier.size() + 200);  // the header and the first packets
    EXPECT_LE(content.size(), 1'000'000u);
    EXPECT_EQ(content.compare(0, earlier.size(), earlier), 0);
}

}  // namespace
