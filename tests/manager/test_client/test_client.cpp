// Stands in for a client program of the suite: records how it was started into
// $VR620_TEST_CLIENT_RECORD/record-<pid>.txt and ends. The record holds the current directory,
// then the descriptors it found open beyond 0 to 2 ("fds:" and their numbers), then one line
// per argument, argv[0] first.
#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char* argv[]) {
    const char* folder = std::getenv("VR620_TEST_CLIENT_RECORD");
    if (folder == nullptr) return 2;

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

    const std::string base = std::string(folder) + "/record-" + std::to_string(getpid());
    const std::string partial = base + ".part";
    std::FILE* out = std::fopen(partial.c_str(), "w");
    if (out == nullptr) return 3;
    std::fprintf(out, "%s\n%s\n", cwd, fds.c_str());
    for (int i = 0; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
    std::fclose(out);
    // Renamed when whole, so that the test never reads half a record.
    return std::rename(partial.c_str(), (base + ".txt").c_str()) == 0 ? 0 : 4;
}
