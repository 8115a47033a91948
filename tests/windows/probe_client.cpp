// A client program of the suite in miniature, for the manager's launcher under Wine: started as
// `vr620-probe HOST=<host> PORT=<port> LANG=<code>`, it connects to that gateway, says
// DEVICE_CONNECT, reads point 0102, says DEVICE_DISCONNECT and ends: 0 when the read answered
// OK, 1 when it answered ERROR, 2 when the gateway could not be reached.
#include <chrono>
#include <cstdio>
#include <string>

#include "command_line.h"
#include "gateway_client.h"
#include "whole_number.h"

int main(int argc, char* argv[]) {
    std::string host = "localhost";
    int port = gateway::kDefaultPort;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("HOST=", 0) == 0) host = argument.substr(5);
        if (argument.rfind("PORT=", 0) == 0)
            port = common::ParseWholeNumber(argument.substr(5), 1, 65535).value_or(port);
    }
    vr620::GatewayClient client;
    client.SetReplyTimeout(std::chrono::seconds(30));
    if (const auto connected = client.Connect(host, port, std::chrono::seconds(30));
        !connected.Ok()) {
        std::fprintf(stderr, "vr620-probe: %s\n", connected.Why().words.c_str());
        return 2;
    }
    if (const auto opened = client.DeviceConnect(); !opened.Ok()) {
        std::fprintf(stderr, "vr620-probe: %s\n", opened.Why().words.c_str());
        return 2;
    }
    const auto read = client.Read(0x0102);
    // Its answer changes nothing: the read's is the probe's.
    static_cast<void>(client.DeviceDisconnect());
    if (!read.Ok()) {
        std::fprintf(stderr, "vr620-probe: %s\n", read.Why().words.c_str());
        return 2;
    }
    const gateway::Reply& reply = read.Value();
    std::printf("%s\n", reply.Ok() ? vr620::FormatHexBytes(reply.data).c_str() : "ERROR");
    return reply.Ok() ? 0 : 1;
}
