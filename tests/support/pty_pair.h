// A pseudo-terminal pair for serial tests: the code under test opens the far end by its path,
// the test plays the device on the near (master) end. The far end starts raw, so nothing the
// test sends is echoed or translated before the code under test sets the line up itself.
#pragma once

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "line_end.h"

namespace vr620_test {

class PtyPair : public LineEnd {
  public:
    PtyPair() {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        raw.c_cflag |= CLOCAL | CREAD;
        cfsetspeed(&raw, B2400);  // a speed no test asks for, to show whether one was set
        if (openpty(&fd_, &slave_, name, &raw, nullptr) != 0) std::abort();
        fcntl(fd_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        path_ = name;
    }
    ~PtyPair() { Vanish(); }

    // The path the code under test opens.
    const std::string& Path() const { return path_; }
    int Master() const { return fd_; }
    // The line settings the far end has now (a pseudo-terminal shares them with its master).
    termios FarEndSettings() const {
        termios t{};
        tcgetattr(fd_, &t);
        return t;
    }

    // Closes both ends, as a USB serial adapter vanishes when it is pulled out: the far end
    // hangs up and its path is gone.
    void Vanish() {
        Close();
        if (slave_ >= 0) close(slave_);
        slave_ = -1;
    }

    // Suspends the output of the far end, so that the line takes no more bytes from the code
    // under test (as a wedged adapter does).
    void StopFarOutput() const { tcflow(slave_, TCOOFF); }

  private:
    int slave_ = -1;  // kept open so the near end never sees a hang-up between opens
    std::string path_;
};

}  // namespace vr620_test
