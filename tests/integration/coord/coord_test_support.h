#pragma once

#include <cstdint>
#include <string>

#include "platform/copy_data.h"
#include "platform/types.h"

namespace coordtest {

// A path of the build folder in the form the platform's calls take (Windows: "Z:\...").
std::string NativePath(const std::string& buildPath);

// Points the configuration store at a file of the test (console build); on Windows the test runs
// in a throw-away Wine prefix and writes the real registry.
void UseRegistryFile(const std::string& buildPath);

// The program's main window as far as the block exchange needs it. Windows: a real top-level
// window captioned "Sundra Synchronizer" whose window procedure hands WM_COPYDATA to the handler.
// Console build: a CopyDataServer on a socket in the build folder.
class MainWindowHarness {
  public:
    MainWindowHarness();
    ~MainWindowHarness();
    bool Create(platform::CopyDataHandler handler);
    platform::WindowHandle Handle() const;
    // What the map application's --target= takes.
    std::string MapAppTarget() const;
    // Runs the user-interface loop for up to ms milliseconds, or until stop returns true.
    template <typename Stop>
    bool PumpUntil(std::uint32_t ms, Stop stop) {
        for (std::uint32_t waited = 0; waited < ms; waited += 10) {
            if (stop()) return true;
            Pump(10);
        }
        return stop();
    }
    void Pump(std::uint32_t ms);
    // The program's end as a map application sees it: the window (or socket) goes away.
    void Destroy();

    struct State;

  private:
    State* state_;
};

}  // namespace coordtest
