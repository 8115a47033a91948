// Stands in for a client program of the suite: records how it was started into
// $VR620_TEST_CLIENT_RECORD/record-<pid>.txt and ends. The record holds the current directory,
// then the descriptors it found open beyond 0 to 2 ("fds:" and their numbers), then one line
// per argument, argv[0] first.
//
// With $VR620_TEST_CLIENT_READ=<point in hexadecimal> it first reads that point through the
// gateway that its HOST= and PORT= arguments name, as the suite's programs do (DEVICE_CONNECT,
// SNVT_READ, DEVICE_DISCONNECT on one plain connection, every wait within 10 s), and writes
// the value in hexadecimal ("AA BB"), or what failed, into record-<pid>.read.
#include <dirent.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Argument(int argc, char* argv[], const std::string& key) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.starts_with(key)) return argument.substr(key.size());
    }
    return {};
}

int Connect(const std::string& host, const std::string& port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return -1;
    int s = -1;
    for (addrinfo* a = found; a != nullptr && s < 0; a = a->ai_next) {
        s = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) continue;
        // Bounds connect, send and receive alike.
        const timeval bound{10, 0};
        setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
        if (connect(s, a->ai_addr, a->ai_addrlen) != 0) {
            close(s);
            s = -1;
        }
    }
    freeaddrinfo(found);
    return s;
}

bool ReceiveAll(int s, std::uint8_t* data, std::size_t size) {
    for (std::size_t got = 0; got < size;) {
        const ssize_t n = recv(s, data + got, size - got, 0);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// The reply's body to a request of `code` for `point`, or nothing.
bool Exchange(int s, std::uint16_t code, std::uint16_t point, Bytes& reply) {
    const std::uint8_t request[] = {0, 0, 0, 5, static_cast<std::uint8_t>(code >> 8),
                                    static_cast<std::uint8_t>(code),
                                    static_cast<std::uint8_t>(point >> 8),
                                    static_cast<std::uint8_t>(point), 0};
    if (send(s, request, sizeof request, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof request))
        return false;
    std::uint8_t length[4];
    if (!ReceiveAll(s, length, sizeof length)) return false;
    const std::size_t size = std::size_t{length[0]} << 24 | std::size_t{length[1]} << 16 |
                             std::size_t{length[2]} << 8 | length[3];
    if (size < 5 || size > 4096) return false;
    reply.resize(size);
    return ReceiveAll(s, reply.data(), size);
}

std::string ReadThroughGateway(int argc, char* argv[], std::uint16_t point) {
    const int s = Connect(Argument(argc, argv, "HOST="), Argument(argc, argv, "PORT="));
    if (s < 0) return "no connection";
    Bytes reply;
    std::string result = "no reply";
    if (Exchange(s, 1, 0, reply)) {
        result = reply[4] != 0 ? "connect ERROR" : "read ERROR";
        if (reply[4] == 0 && Exchange(s, 3, point, reply) && reply[4] == 0) {
            result.clear();
            for (std::size_t i = 5; i < reply.size(); ++i) {
                char hex[4];
                std::snprintf(hex, sizeof hex, i == 5 ? "%02X" : " %02X", reply[i]);
                result += hex;
            }
        }
        Exchange(s, 2, 0, reply);
    }
    close(s);
    return result;
}

}  // namespace

int main(int argc, char* argv[]) {
    const char* folder = std::getenv("VR620_TEST_CLIENT_RECORD");
    if (folder == nullptr) return 2;
    const std::string base = std::string(folder) + "/record-" + std::to_string(getpid());

    if (const char* point = std::getenv("VR620_TEST_CLIENT_READ")) {
        const std::string value = ReadThroughGateway(
            argc, argv, static_cast<std::uint16_t>(std::strtoul(point, nullptr, 16)));
        std::FILE* read = std::fopen((base + ".read").c_str(), "w");
        if (read == nullptr) return 3;
        std::fprintf(read, "%s\n", value.c_str());
        std::fclose(read);
    }

    std::string fds = "fds:";
    if (DIR* dir = opendir("/proc/self/fd")) {
        const int own = dirfd(dir);
        while (const dirent* entry = readdir(dir)) {
            const int fd = std::atoi(entry->d_name);
            if (entry->d_name[0] != '.' && fd > 2 && fd != own) fds += " " + std::to_string(fd);
        }
        closedir(dir);
    }
    char cwd[PATH_MAX] = "";
    if (getcwd(cwd, sizeof cwd) == nullptr) cwd[0] = '\0';

    const std::string partial = base + ".part";
    std::FILE* out = std::fopen(partial.c_str(), "w");
    if (out == nullptr) return 3;
    std::fprintf(out, "%s\n%s\n", cwd, fds.c_str());
    for (int i = 0; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
    std::fclose(out);
    // Renamed when whole, so that the test never reads half a record.
    return std::rename(partial.c_str(), (base + ".txt").c_str()) == 0 ? 0 : 4;
}
