// The synchronization service's program as the watchdog uses it.
//   syncservice -noservice   runs until the stop file appears in its working directory
//   syncservice -stop        creates that file and returns, which ends the running copy
// Files in the working directory (the registry value "Path"):
//   syncservice.stop     the stop request; the running copy removes it when it ends
//   syncservice.journal  one line per start: the arguments as received, joined by blanks
// A file rather than a named event: it works alike on Windows, under Wine and on Linux, and it
// reaches a copy that runs in another process without any handle being shared.
// --exit-after=MS (with -noservice) ends it by itself, so a test cannot leave it running for ever.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

constexpr const char* kStopFile = "syncservice.stop";
constexpr const char* kJournal = "syncservice.journal";

}  // namespace

int main(int argc, char** argv) {
    std::string joined;
    bool run = false;
    bool stop = false;
    long long exitAfterMs = -1;
    for (int i = 1; i < argc; ++i) {
        if (!joined.empty()) joined += ' ';
        joined += argv[i];
        if (std::strcmp(argv[i], "-noservice") == 0) run = true;
        if (std::strcmp(argv[i], "-stop") == 0) stop = true;
        if (std::strncmp(argv[i], "--exit-after=", 13) == 0) exitAfterMs = std::atoll(argv[i] + 13);
    }
    {
        std::ofstream journal(kJournal, std::ios::app);
        journal << joined << '\n';
    }
    std::error_code ignored;
    if (stop) {
        std::ofstream(kStopFile) << "stop\n";
        return 0;
    }
    if (!run) return 2;
    std::filesystem::remove(kStopFile, ignored);
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (std::filesystem::exists(kStopFile, ignored)) {
            std::filesystem::remove(kStopFile, ignored);
            return 0;
        }
        if (exitAfterMs >= 0 &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(exitAfterMs)) {
            return 0;
        }
    }
}
