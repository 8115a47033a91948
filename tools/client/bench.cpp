#include "bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <latch>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "gateway_client.h"

namespace vr620 {
namespace {

using Clock = std::chrono::steady_clock;

struct ClientResult {
    std::vector<double> latenciesMs;
    int errors = 0;
    std::string failure;  // the connection broke
};

double Percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) return 0;
    std::size_t rank = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size()));
    return sorted[std::min(rank, sorted.size() - 1)];
}

void RunClient(const BenchSettings& settings, std::uint16_t point, GatewayClient& client,
               std::latch& go, ClientResult& result) {
    go.wait();
    const auto end = Clock::now() + std::chrono::seconds(settings.seconds);
    for (int i = 0; settings.seconds > 0 ? Clock::now() < end : i < settings.requests; ++i) {
        auto start = Clock::now();
        const auto reply = client.Read(point);
        if (!reply.Ok()) {
            result.failure = reply.Why().words;
            return;
        }
        auto ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        result.latenciesMs.push_back(ms);
        if (!reply.Value().Ok()) ++result.errors;
    }
}

}  // namespace

int RunBench(const BenchSettings& settings) {
    std::vector<std::unique_ptr<GatewayClient>> clients;
    // All connections are made (and the device connected once each) before the clock starts.
    for (int i = 0; i < settings.clients; ++i) {
        auto client = std::make_unique<GatewayClient>();
        client->SetReplyTimeout(std::chrono::seconds(settings.timeoutSeconds));
        auto connected = settings.tls.certificate.empty() ? common::Outcome<>(common::Done{})
                                                          : client->UseTls(settings.tls);
        if (connected.Ok())
            connected = client->Connect(settings.host, settings.port, std::chrono::seconds(10));
        if (!connected.Ok()) {
            std::fprintf(stderr, "vr620: %s\n", connected.Why().words.c_str());
            return 2;
        }
        const auto reply = client->DeviceConnect();
        if (!reply.Ok()) {
            std::fprintf(stderr, "vr620: %s\n", reply.Why().words.c_str());
            return 2;
        }
        if (!reply.Value().Ok()) {
            std::fprintf(stderr, "vr620: the gateway could not open the device\n");
            return 1;
        }
        clients.push_back(std::move(client));
    }

    std::vector<ClientResult> results(clients.size());
    std::latch go(1);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < clients.size(); ++i) {
        const auto point = static_cast<std::uint16_t>(settings.point + (settings.ownPoints ? i : 0));
        threads.emplace_back(RunClient, std::cref(settings), point, std::ref(*clients[i]),
                             std::ref(go), std::ref(results[i]));
    }
    auto start = Clock::now();
    go.count_down();
    for (auto& t : threads) t.join();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    for (auto& client : clients) {
        // A failure here changes nothing in the results.
        if (client->Connected()) static_cast<void>(client->DeviceDisconnect());
    }

    std::vector<double> all;
    int errors = 0;
    int broken = 0;
    for (const auto& r : results) {
        all.insert(all.end(), r.latenciesMs.begin(), r.latenciesMs.end());
        errors += r.errors;
        if (!r.failure.empty()) {
            ++broken;
            std::fprintf(stderr, "vr620: a bench connection failed: %s\n", r.failure.c_str());
        }
    }
    std::sort(all.begin(), all.end());
    long expected = settings.seconds > 0 ? static_cast<long>(all.size())
                                         : static_cast<long>(settings.clients) * settings.requests;
    if (settings.seconds > 0) {
        std::printf("clients %d, %d s, point 0x%04X%s\n", settings.clients, settings.seconds,
                    settings.point, settings.ownPoints ? " and on, one each" : "");
    } else {
        std::printf("clients %d, requests %d each, point 0x%04X%s\n", settings.clients,
                    settings.requests, settings.point,
                    settings.ownPoints ? " and on, one each" : "");
    }
    std::printf("answered %zu of %ld (%d ERROR replies) in %.3f s: %.1f requests/s\n", all.size(),
                expected, errors, seconds,
                seconds > 0 ? static_cast<double>(all.size()) / seconds : 0.0);
    std::printf("latency ms: p50 %.2f, p95 %.2f, max %.2f\n", Percentile(all, 0.50),
                Percentile(all, 0.95), all.empty() ? 0.0 : all.back());
    if (broken > 0) return 2;
    return errors > 0 ? 1 : 0;
}

}  // namespace vr620
