// A chart-modifying application as the watchdog sees it: a program with a known image file name
// that runs until it is ended. Tests copy it to "ChartManager.exe", "Setup.exe" or
// "S63Loader.exe" (a copy, not a link: the image name is the name of the file that was started).
// It also ends when a file "chartmodifier.stop" appears in its working directory (and removes
// it): a test ends it that way rather than by force, which under Wine can leave the console host
// of a killed console program behind. --exit-after=MS ends it by itself, so a test that is killed
// cannot leave it running for ever.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

int main(int argc, char** argv) {
    long long exitAfterMs = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--exit-after=", 13) == 0) exitAfterMs = std::atoll(argv[i] + 13);
    }
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::error_code ignored;
        if (std::filesystem::exists("chartmodifier.stop", ignored)) {
            std::filesystem::remove("chartmodifier.stop", ignored);
            return 0;
        }
        if (exitAfterMs >= 0 &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(exitAfterMs)) {
            return 0;
        }
    }
}
