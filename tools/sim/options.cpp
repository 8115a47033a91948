#include "options.h"

#include <cstdio>
#include <optional>
#include <string_view>
#include <utility>

#include "data_table.h"
#include "fault_points.h"
#include "trace.h"
#include "whole_number.h"

namespace sim {

namespace {

common::Failure Mistake(std::string words) {
    return {common::FailureKind::kOther, std::move(words)};
}

}  // namespace

common::Outcome<SimOptions> ParseOptions(int argc, const char* const* argv) {
    SimOptions o;
    bool modemOptionSeen = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view name = arg;
        std::optional<std::string_view> inlineValue;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != arg.npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        const auto value = [&]() -> common::Outcome<std::string> {
            if (inlineValue) return std::string(*inlineValue);
            if (i + 1 >= argc) return Mistake(std::string(name) + " needs a value");
            return std::string(argv[++i]);
        };
        const auto number = [&](int min, int max) -> common::Outcome<int> {
            const auto text = value();
            if (!text.Ok()) return text.Why();
            const auto n = common::ParseWholeNumber(text.Value(), min, max);
            if (!n) {
                return Mistake(std::string(name) + " needs a whole number from " +
                               std::to_string(min) + " to " + std::to_string(max) + ", not '" +
                               text.Value() + "'");
            }
            return *n;
        };
        const auto flagOnly = [&]() -> common::Outcome<> {
            if (!inlineValue) return common::Done{};
            return Mistake(std::string(name) + " takes no value");
        };

        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--verbose" || name == "-v") {
            if (const auto flag = flagOnly(); !flag.Ok()) return flag.Why();
            o.verbose = true;
        } else if (name == "--modem") {
            if (const auto flag = flagOnly(); !flag.Ok()) return flag.Why();
            o.modem = true;
        } else if (name == "--link" || name == "--device" || name == "--data") {
            const auto text = value();
            if (!text.Ok()) return text.Why();
            if (text.Value().empty()) return Mistake(std::string(name) + " needs a path");
            (name == "--link" ? o.link : name == "--device" ? o.device : o.dataFile) = text.Value();
        } else if (name == "--baud") {
            const auto n = number(50, 4000000);
            if (!n.Ok()) return n.Why();
            o.baud = n.Value();
        } else if (name == "--turnaround") {
            const auto n = number(0, 60000);
            if (!n.Ok()) return n.Why();
            o.turnaroundMs = n.Value();
        } else if (name == "--dial-delay") {
            const auto n = number(0, 600000);
            if (!n.Ok()) return n.Why();
            o.modemOptions.dialDelay = std::chrono::milliseconds(n.Value());
            modemOptionSeen = true;
        } else if (name == "--guard-ms") {
            const auto n = number(20, 5100);
            if (!n.Ok()) return n.Why();
            o.modemOptions.guard = std::chrono::milliseconds(n.Value());
            modemOptionSeen = true;
        } else if (name == "--connect-text") {
            const auto text = value();
            if (!text.Ok()) return text.Why();
            o.modemOptions.connectText = text.Value();
            modemOptionSeen = true;
        } else if (name == "--dial-result") {
            const auto text = value();
            if (!text.Ok()) return text.Why();
            const auto result = ParseDialResult(text.Value());
            if (!result) {
                return Mistake(
                    "--dial-result must be CONNECT, BUSY, 'NO CARRIER', 'NO ANSWER', "
                    "'NO DIAL', ERROR, RING or SILENT, not '" +
                    text.Value() + "'");
            }
            o.modemOptions.dialResult = *result;
            modemOptionSeen = true;
        } else if (name == "--lowercase") {
            if (const auto flag = flagOnly(); !flag.Ok()) return flag.Why();
            o.modemOptions.lowercase = true;
            modemOptionSeen = true;
        } else if (name == "--banner") {
            const auto text = value();
            if (!text.Ok()) return text.Why();
            o.modemOptions.banner.push_back(text.Value());
            modemOptionSeen = true;
        } else {
            return Mistake("unknown option '" + std::string(arg) + "'");
        }
    }
    if (modemOptionSeen && !o.modem && !o.help) return Mistake("the modem options need --modem");
    if (!o.link.empty() && !o.device.empty()) {
        return Mistake("--link goes with a pseudo-terminal, not with --device");
    }
    return o;
}

std::string HelpText() {
    std::string t =
        "Usage: vr620-sim [--link PATH] [--device PATH] [--baud N] [--turnaround MS]\n"
        "                 [--data FILE] [--verbose] [--modem [modem options]] [--help]\n"
        "\n"
        "Plays the VR-620 controller on the far end of a serial line, for tests and for\n"
        "trying the suite without a device.\n"
        "\n"
        "The line:\n"
        "  (no --device)      create a pseudo-terminal (raw) and serve it. The first line on\n"
        "                     standard output is 'device: <path>'; map a COM number to that\n"
        "                     path in DUCTA.INI, section [Ports], e.g. COM1=/dev/pts/7.\n"
        "  --link PATH        also keep a symbolic link PATH -> the pseudo-terminal, removed\n"
        "                     at exit (a stable name for DUCTA.INI, kept across SIGUSR1/2).\n"
        "  --device PATH      serve an existing serial device instead (set raw, 8N1, --baud).\n"
        "  --baud N           line speed in bit/s, default 4800. Every byte sent takes 10 bits\n"
        "                     of line time, so replies arrive as fast as on a real line.\n"
        "  --turnaround MS    pause between the end of a request and the reply, default 5.\n"
        "  Pulling the adapter out (a pseudo-terminal only): SIGUSR1 makes the line vanish as\n"
        "  a USB serial adapter does (the link is removed, the pseudo-terminal closed, so the\n"
        "  other side hangs up); SIGUSR2 brings a new pseudo-terminal back at the same --link\n"
        "  path. Each prints a line on standard output: 'device: gone', 'device: <path>'.\n"
        "      kill -USR1 $(pidof vr620-sim); sleep 10; kill -USR2 $(pidof vr620-sim)\n"
        "\n"
        "The controller:\n"
        "  --data FILE        data points are loaded from FILE (created with the default set\n"
        "                     when missing); every write is stored back at once, atomically\n"
        "                     (temporary file + rename). Without it the points live in memory.\n"
        "                     File format, one point a line, hexadecimal, '#' starts a comment:\n"
        "                         0102 = AA BB\n"
        "                         0200 =\n"
        "                     (point of 1 to 4 digits, 0 to 253 value bytes, each point once).\n"
        "  Requests (frames 02 CMD LEN IDXH IDXL DATA.. SUM):\n"
        "    read  81 of a known point   -> 80, same point, the value\n"
        "    write 82 to a known point   -> 82, same point, no data (value stored first;\n"
        "                                   if it cannot be stored: 83)\n"
        "    unknown point or command    -> the request's command with bit 0 set, no data\n"
        "    a request with a wrong checksum gets no reply; a request that stalls for\n"
        "    500 ms half-way is dropped.\n"
        "  Default points:";
    for (const auto& [point, value] : DefaultPoints()) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "\n    %04X =", point);
        t += buf;
        if (value.size() > 8) {
            t += " " + Hex(std::span<const std::uint8_t>(value).first(4)) + " .. " +
                 Hex(std::span<const std::uint8_t>(value).last(1)) + " (" +
                 std::to_string(value.size()) + " bytes 00, 01, 02, ...)";
        } else if (!value.empty()) {
            t += " " + Hex(value);
        } else {
            t += " (no data bytes)";
        }
    }
    t += "\n"
         "  Fault points (a read or a write of these points misbehaves on purpose; where a\n"
         "  reply is sent, a read answers the point's two bytes as its value and a write is\n"
         "  acknowledged without being stored):";
    for (const FaultPoint& p : kFaultPoints) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "\n    %04X  ", p.point);
        t += buf;
        t += p.description;
    }
    t += "\n"
         "  --verbose          trace every frame received and sent in hexadecimal (and, with\n"
         "                     --modem, every command and result) on standard error.\n"
         "\n"
         "The modem (--modem): a Hayes-style modem in front of the controller on the same line.\n"
         "  Command mode: characters are echoed (until ATE0); a line starting with AT ends with\n"
         "  a carriage return and is answered with a result framed <CR><LF>TEXT<CR><LF>.\n"
         "  Commands, which may be chained (ATE0S0=1): AT, E0/E1 echo, V0/V1 numeric or\n"
         "  verbose results, Q0/Q1 results on or off, S<n>=<v> and S<n>? registers, Z reset to\n"
         "  the stored profile, &F factory settings, &W store the profile, H/H0 hang up, H1,\n"
         "  O back to data mode, D/DT/DP<number> dial (the rest of the line is the number),\n"
         "  I identify, L/M/X and &C/&D/&K accepted. Anything else answers ERROR.\n"
         "  A dial answers after --dial-delay, then the line is in data mode and frames go to\n"
         "  the controller. '+++' with a guard time of silence before and after returns to\n"
         "  command mode with OK (the line stays connected: ATO resumes, ATH hangs up).\n"
         "  Any character sent while a dial is pending abandons it (NO CARRIER).\n"
         "  --dial-delay MS    time from a dial to its answer, default 500.\n"
         "  --dial-result R    what a dial answers: CONNECT (default), BUSY, 'NO CARRIER',\n"
         "                     'NO ANSWER', 'NO DIAL', ERROR, RING, or SILENT (nothing at all;\n"
         "                     the modem is back in command mode). '_' or '-' may stand for\n"
         "                     the blank.\n"
         "  --connect-text T   the whole CONNECT result, default 'CONNECT 9600/ARQ'.\n"
         "  --banner TEXT      an informational line before CONNECT (e.g. 'CARRIER 9600',\n"
         "                     'PROTOCOL: LAP-M'); repeat the option for more lines.\n"
         "  --lowercase        result codes in lower case ('ok', 'connect 9600/arq'); the\n"
         "                     banner lines stay as given.\n"
         "  --guard-ms MS      the escape guard time, default 1000 (20 to 5100; register S12\n"
         "                     shows and sets it in fiftieths of a second). The default\n"
         "                     hang-up text ';+++;ATH<CR>' leaves only the command delay\n"
         "                     (250 ms by default) of silence before '+++': use a guard time\n"
         "                     below it, e.g. --guard-ms 200, or the escape is taken as data.\n"
         "\n"
         "Ends cleanly (exit 0) on SIGINT, SIGTERM or SIGHUP; exit 2 for a wrong command\n"
         "line, 1 when the line or the data file cannot be set up.\n";
    return t;
}

}  // namespace sim
