// What TLS costs the gateway besides its plain port, for bench/tls_gateway.sh:
//
//   vr620-bench-tls handshakes PORT SECONDS CLIENTS CERT KEY TRUST
//       CLIENTS threads connect to 127.0.0.1:PORT, shake hands and close again, for SECONDS;
//       prints the full handshakes done a second
//   vr620-bench-tls hold PORT SECONDS CERT KEY TRUST
//       one TLS client that connects, opens the device (DEVICE_CONNECT) and stays idle for
//       SECONDS; prints "holding" once it does
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "gateway_client.h"
#include "whole_number.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

int Usage() {
    std::fputs(
        "usage: vr620-bench-tls handshakes PORT SECONDS CLIENTS CERT KEY TRUST\n"
        "       vr620-bench-tls hold PORT SECONDS CERT KEY TRUST\n",
        stderr);
    return 2;
}

int Handshakes(int port, int seconds, int clients, const tls::Settings& settings) {
    std::atomic<long> done{0};
    std::atomic<long> failed{0};
    std::string failure;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i) {
        threads.emplace_back([&, first = i == 0] {
            vr620::GatewayClient client;
            if (const auto usable = client.UseTls(settings); !usable.Ok()) {
                ++failed;
                if (first) failure = usable.Why().words;
                return;
            }
            while (Clock::now() < end) {
                if (const auto connected = client.Connect("127.0.0.1", port, 10s);
                    connected.Ok()) {
                    ++done;
                } else {
                    ++failed;
                    if (first) failure = connected.Why().words;
                }
                client.Close();
            }
        });
    }
    for (auto& t : threads) t.join();
    std::printf("handshakes %ld in %d s with %d clients: %.1f a second (%ld failed)\n", done.load(),
                seconds, clients, static_cast<double>(done.load()) / seconds, failed.load());
    if (!failure.empty()) std::fprintf(stderr, "vr620-bench-tls: %s\n", failure.c_str());
    return failed.load() == 0 ? 0 : 1;
}

int Hold(int port, int seconds, const tls::Settings& settings) {
    vr620::GatewayClient client;
    auto connected = client.UseTls(settings);
    if (connected.Ok()) connected = client.Connect("127.0.0.1", port, 10s);
    if (!connected.Ok()) {
        std::fprintf(stderr, "vr620-bench-tls: %s\n", connected.Why().words.c_str());
        return 1;
    }
    const auto opened = client.DeviceConnect();
    if (!opened.Ok() || !opened.Value().Ok()) {
        std::fprintf(stderr, "vr620-bench-tls: DEVICE_CONNECT failed %s\n",
                     opened.Ok() ? "" : opened.Why().words.c_str());
        return 1;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    // Idle on purpose: what the gateway does meanwhile is the measure.
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    const bool handshakes = a.size() == 7 && a[0] == "handshakes";
    if (!handshakes && !(a.size() == 6 && a[0] == "hold")) return Usage();
    const auto port = common::ParseWholeNumber(a[1], 1, 65535);
    const auto seconds = common::ParseWholeNumber(a[2], 1, 3600);
    const auto clients = handshakes ? common::ParseWholeNumber(a[3], 1, 64) : 1;
    if (!port || !seconds || !clients) return Usage();
    const std::size_t files = handshakes ? 4 : 3;
    const tls::Settings settings{a[files], a[files + 1], a[files + 2], {}};
    return handshakes ? Handshakes(*port, *seconds, *clients, settings)
                      : Hold(*port, *seconds, settings);
}
