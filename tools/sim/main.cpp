// vr620-sim: the simulated VR-620 controller (and, with --modem, a Hayes modem in front of it).
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

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
    std::string error;
    const auto options = sim::ParseOptions(argc, argv, error);
    if (!options) {
        std::fputs(common::BadCommandLineText("vr620-sim", error, sim::HelpText()).c_str(), stderr);
        return 2;
    }
    if (options->help) {
        std::fputs(sim::HelpText().c_str(), stdout);
        return 0;
    }
    sim::InstallSignalHandlers();

    sim::DataTable table;
    if (!options->dataFile.empty() && !table.Open(options->dataFile, error)) {
        std::fprintf(stderr, "vr620-sim: data file: %s\n", error.c_str());
        return 1;
    }
    std::unique_ptr<sim::LineEndpoint> line =
        options->device.empty()
            ? sim::LineEndpoint::CreatePty(error)
            : sim::LineEndpoint::OpenDevice(options->device, options->baud, error);
    if (!line) {
        std::fprintf(stderr, "vr620-sim: %s\n", error.c_str());
        return 1;
    }
    if (!options->link.empty() && !line->SetLink(options->link, error)) {
        std::fprintf(stderr, "vr620-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("device: %s\n", line->Path().c_str());
    std::fflush(stdout);

    const sim::Trace trace(options->verbose);
    trace.Line("serving " + line->Path() + " at " + std::to_string(options->baud) + " bit/s" +
               (options->modem ? " behind a modem" : ""));
    sim::Controller controller(table, [&trace](std::string_view text) { trace.Line(text); });
    std::optional<sim::HayesModem> modem;
    if (options->modem) {
        modem.emplace(options->modemOptions, [&trace](std::string_view text) {
            trace.Line("modem " + std::string(text));
        });
    }
    sim::LinePacer pacer(*line, options->baud);
    sim::SimLoop loop(*line, pacer, controller, trace, modem ? &*modem : nullptr,
                      std::chrono::milliseconds(options->turnaroundMs));
    loop.Run();
    trace.Line("stopped");
    return 0;
}
