// vr620-gatewayd and the simulated controller: reads of one point that wait for the line
// together share one transaction (counted in the simulator's trace of the frames it received),
// never across a write to that point, never across points, and not at all with --no-coalesce.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gateway_harness.h"
#include "gatewayd_process.h"
#include "sim_process.h"
#include "temp_dir.h"

namespace {

using gateway_test::Bytes;
using gateway_test::Framed;
using gateway_test::Gatewayd;
using gateway_test::TcpClient;

Bytes Read(std::uint16_t point) {
    return Framed({0x00, 0x03, static_cast<std::uint8_t>(point >> 8),
                   static_cast<std::uint8_t>(point), 0x00});
}
Bytes Write(std::uint16_t point, const Bytes& value) {
    Bytes body{0x00, 0x04, static_cast<std::uint8_t>(point >> 8), static_cast<std::uint8_t>(point),
               0x00};
    body.insert(body.end(), value.begin(), value.end());
    return Framed(body);
}
Bytes ReadReply(std::uint16_t point, const Bytes& value) {
    Bytes body{0x00, 0x03, static_cast<std::uint8_t>(point >> 8), static_cast<std::uint8_t>(point),
               0x00};
    body.insert(body.end(), value.begin(), value.end());
    return Framed(body);
}

class Coalescing : public ::testing::Test {
  protected:
    // The simulator at 4800 bit/s, so that reads queue behind each other; a silent point's
    // time-out keeps the line busy for a known while.
    bool Start(std::vector<std::string> gatewaydArgs = {}) {
        if (!sim_.Started()) return false;
        gatewayd_.WriteIni("[Ports]\r\nCOM1=" + sim_.DevicePath() +
                           "\r\n[Direct]\r\nBaudRate=4800\r\nPollTimeOut=1500\r\n");
        if (!gatewayd_.Start(std::move(gatewaydArgs))) return false;
        TcpClient opener(gatewayd_.port);
        return opener.Exchange(Framed({0x00, 0x01, 0x00, 0x00, 0x00})).size() == 9;
    }
    std::vector<std::unique_ptr<TcpClient>> Clients(int n) const {
        std::vector<std::unique_ptr<TcpClient>> clients;
        for (int i = 0; i < n; ++i) clients.push_back(std::make_unique<TcpClient>(gatewayd_.port));
        return clients;
    }
    // Request frames of `point` the controller received: `command` 81 reads, 82 writes.
    int Received(const char* command, std::uint16_t point) const {
        char head[32];
        std::snprintf(head, sizeof head, "] rx 02 %s %02X %02X %02X ", command,
                      command[1] == '1' ? 2 : 4, point >> 8, point & 0xFF);
        const std::string trace = vr620_test::ReadFile(trace_);
        int n = 0;
        for (std::size_t at = trace.find(head); at != std::string::npos;
             at = trace.find(head, at + 1))
            ++n;
        return n;
    }
    // Keeps the line busy with a read of the silent point until the controller has it.
    std::unique_ptr<TcpClient> BusyLine() const {
        auto busy = std::make_unique<TcpClient>(gatewayd_.port);
        const int before = Received("81", 0xFF01);
        EXPECT_TRUE(busy->Send(Read(0xFF01)));
        EXPECT_TRUE(vr620_test::WaitUntil([&] { return Received("81", 0xFF01) == before + 1; }));
        return busy;
    }

    vr620_test::TempDir dir_;
    std::string trace_ = (dir_ / "sim.trace").string();
    vr620_test::SimProcess sim_{{"--baud", "4800", "--verbose"}, trace_};
    Gatewayd gatewayd_{dir_};
};

TEST_F(Coalescing, ReadsOfOnePointShareTransactionsButNeverAcrossAWriteOrAPoint) {
    ASSERT_TRUE(Start()) << sim_.Error();
    // 16 clients read one point at once, while the line is busy: one transaction serves them.
    auto readers = Clients(16);
    auto busy = BusyLine();
    for (auto& r : readers) ASSERT_TRUE(r->Send(Read(0x0102)));
    for (auto& r : readers) EXPECT_EQ(r->ReceiveMessage(), ReadReply(0x0102, {0xAA, 0xBB}));
    EXPECT_EQ(busy->ReceiveMessage().size(), 9u);
    EXPECT_EQ(Received("81", 0x0102), 1);

    // A read that waits, then a write to its point, then more reads: these never join the read
    // from before the write, and see the value written. (Messages that the gateway finds
    // waiting at once are taken in the order the clients connected.)
    auto early = std::make_unique<TcpClient>(gatewayd_.port);
    auto writer = std::make_unique<TcpClient>(gatewayd_.port);
    auto later = Clients(16);
    busy = BusyLine();
    ASSERT_TRUE(early->Send(Read(0x0102)));
    ASSERT_TRUE(writer->Send(Write(0x0102, {0x12, 0x34})));
    for (auto& r : later) ASSERT_TRUE(r->Send(Read(0x0102)));
    EXPECT_EQ(early->ReceiveMessage(), ReadReply(0x0102, {0xAA, 0xBB}));
    EXPECT_EQ(writer->ReceiveMessage(), Framed({0x00, 0x04, 0x01, 0x02, 0x00}));
    for (auto& r : later) EXPECT_EQ(r->ReceiveMessage(), ReadReply(0x0102, {0x12, 0x34}));
    EXPECT_EQ(Received("81", 0x0102), 3);
    EXPECT_EQ(Received("82", 0x0102), 1);

    // Reads of different points never join.
    busy = BusyLine();
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(readers[i]->Send(Read(0x0001 + i)));
    for (int i = 0; i < 4; ++i) {
        const Bytes reply = readers[i]->ReceiveMessage();
        ASSERT_GE(reply.size(), 9u);
        EXPECT_EQ(reply[7], 0x01 + i);
    }
    EXPECT_EQ(busy->ReceiveMessage().size(), 9u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Received("81", 0x0001 + i), 1);
}

TEST_F(Coalescing, OffEveryReadIsItsOwnTransaction) {
    ASSERT_TRUE(Start({"--no-coalesce"})) << sim_.Error();
    auto readers = Clients(8);
    auto busy = BusyLine();
    for (auto& r : readers) ASSERT_TRUE(r->Send(Read(0x0102)));
    for (auto& r : readers) EXPECT_EQ(r->ReceiveMessage(), ReadReply(0x0102, {0xAA, 0xBB}));
    EXPECT_EQ(Received("81", 0x0102), 8);
}

}  // namespace
