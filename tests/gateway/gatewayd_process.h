// vr620-gatewayd as a program of a test's own: it runs from a folder of the test's with copies
// of itself and libducta.so (its RPATH finds the copy) and its own DUCTA.INI, and its connection
// log is read from its standard output.
#pragma once

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "gateway_harness.h"
#include "loopback.h"
#include "program_run.h"
#include "temp_dir.h"

namespace gateway_test {

namespace fs = std::filesystem;
using vr620_test::ProgramRun;

// The last line of a program's output (the fingerprint that the key commands print last).
inline std::string LastLine(const std::string& text) {
    std::string trimmed = text.substr(0, text.find_last_not_of('\n') + 1);
    return trimmed.substr(trimmed.rfind('\n') + 1);
}

class Gatewayd {
  public:
    // In `dir`/`folder` (two gateways in one test need two folders).
    explicit Gatewayd(const vr620_test::TempDir& dir, const std::string& folder = "bin")
        : folder_(dir / folder) {
        fs::create_directories(folder_);
        fs::copy_file(VR620_GATEWAYD_PATH, folder_ / "vr620-gatewayd");
        fs::copy_file(DUCTA_LIBRARY_PATH, folder_ / "libducta.so");
    }
    void WriteIni(const std::string& text) const {
        vr620_test::WriteFile(folder_ / "DUCTA.INI", text);
    }
    // Starts it on COM1 (bound to 127.0.0.1 unless `bound` is false) and waits until it listens.
    bool Start(std::vector<std::string> args = {}, bool bound = true) {
        port = vr620_test::FreePort();
        args.insert(args.begin(), {"--port", std::to_string(port)});
        if (bound) args.insert(args.end(), {"--bind", "127.0.0.1"});
        run_ = std::make_unique<ProgramRun>((folder_ / "vr620-gatewayd").string(), args, folder_);
        return WaitFor("Server started. Listening to port " + std::to_string(port) + "...");
    }
    // The log's texts without their stamps.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        std::istringstream out(run_->Stdout());
        for (std::string line; std::getline(out, line);)
            texts.push_back(line.size() > 21 ? line.substr(21) : "");
        return texts;
    }
    bool Has(const std::string& text) const {
        for (const auto& t : Texts())
            if (t == text) return true;
        return false;
    }
    bool WaitFor(const std::string& text) const {
        return WaitUntil([&] { return Has(text); });
    }
    // The reason that `request`'s ERROR adds to the log: the last line it adds that is no count.
    // (Its command's line may be left out as a repeat, and come back behind a count; a reason
    // that the log has not had lately is always written.) The lines are written before the reply
    // goes out.
    std::string ReasonOf(const TcpClient& client, const Bytes& request) const {
        const std::size_t before = Texts().size();
        const Bytes reply = client.Exchange(request);
        EXPECT_TRUE(reply.size() == 9 && reply[8] == 0xFF);
        const auto texts = Texts();
        for (std::size_t i = texts.size(); i-- > before;)
            if (!texts[i].ends_with(" left out)")) return texts[i];
        return "(no new line)";
    }
    ProgramRun& Run() { return *run_; }
    // Stops it with SIGTERM: true when it ended in order, with nothing on standard error that a
    // sanitizer says.
    bool StopsCleanly() {
        if (!run_) return true;
        run_->Stop();
        const std::string errors = run_->Stderr();
        return run_->ExitCode() == 0 && errors.find("Sanitizer") == std::string::npos &&
               errors.find("runtime error") == std::string::npos;
    }
    int port = 0;

  private:
    fs::path folder_;
    std::unique_ptr<ProgramRun> run_;
};

}  // namespace gateway_test
