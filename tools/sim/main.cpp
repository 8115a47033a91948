// vr620-sim: the simulated VR-620 controller (and, with --modem, a Hayes modem in front of it).
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "bad_command_line.h"
#include "controller.h"
#include "data_table.h"
#include "hayes_modem.h"
#include "line_endpoint.h"
#include "line_pacer.h"
#include "options.h"
#include "sim_loop.h"
#include "sim_signals.h"
#include "trace.h"

int main(int argc, char** argv) {
    const auto parsed = sim::ParseOptions(argc, argv);
    if (!parsed.Ok()) {
        std::fputs(
            common::BadCommandLineText("vr620-sim", parsed.Why().words, sim::HelpText()).c_str(),
            stderr);
        return 2;
    }
    const sim::SimOptions& options = parsed.Value();
    if (options.help) {
        std::fputs(sim::HelpText().c_str(), stdout);
        return 0;
    }
    sim::InstallSignalHandlers();

    sim::DataTable table;
    if (!options.dataFile.empty()) {
        if (const auto opened = table.Open(options.dataFile); !opened.Ok()) {
            std::fprintf(stderr, "vr620-sim: data file: %s\n", opened.Why().words.c_str());
            return 1;
        }
    }
    auto made = options.device.empty()
                    ? sim::LineEndpoint::CreatePty()
                    : sim::LineEndpoint::OpenDevice(options.device, options.baud);
    if (!made.Ok()) {
        std::fprintf(stderr, "vr620-sim: %s\n", made.Why().words.c_str());
        return 1;
    }
    const std::unique_ptr<sim::LineEndpoint> line = std::move(made.Value());
    if (!options.link.empty()) {
        if (const auto linked = line->SetLink(options.link); !linked.Ok()) {
            std::fprintf(stderr, "vr620-sim: %s\n", linked.Why().words.c_str());
            return 1;
        }
    }
    std::printf("device: %s\n", line->Path().c_str());
    std::fflush(stdout);

    const sim::Trace trace(options.verbose);
    trace.Line("serving " + line->Path() + " at " + std::to_string(options.baud) + " bit/s" +
               (options.modem ? " behind a modem" : ""));
    sim::Controller controller(table, [&trace](std::string_view text) { trace.Line(text); });
    std::optional<sim::HayesModem> modem;
    if (options.modem) {
        modem.emplace(options.modemOptions, [&trace](std::string_view text) {
            trace.Line("modem " + std::string(text));
        });
    }
    sim::LinePacer pacer(*line, options.baud);
    sim::SimLoop loop(*line, pacer, controller, trace, modem ? &*modem : nullptr,
                      std::chrono::milliseconds(options.turnaroundMs));
    loop.Run();
    trace.Line("stopped");
    return 0;
}
