#include "tests/integration/coord/coord_test_support.h"

#include <stdlib.h>

#include <filesystem>

namespace coordtest {

struct MainWindowHarness::State {
    platform::CopyDataServer server;
    std::string socket;
};

std::string NativePath(const std::string& buildPath) { return buildPath; }

void UseRegistryFile(const std::string& buildPath) {
    ::setenv("SUNDRA_REGISTRY_FILE", buildPath.c_str(), 1);
}

MainWindowHarness::MainWindowHarness() : state_(new State) {}
MainWindowHarness::~MainWindowHarness() { delete state_; }

bool MainWindowHarness::Create(platform::CopyDataHandler handler) {
    std::filesystem::create_directories(COORD_WORK_DIR);
    state_->socket = std::string(COORD_WORK_DIR) + "/mapapp.sock";
    return state_->server.Listen(state_->socket, std::move(handler));
}

platform::WindowHandle MainWindowHarness::Handle() const { return 1; }

std::string MainWindowHarness::MapAppTarget() const { return state_->socket; }

void MainWindowHarness::Pump(std::uint32_t ms) { state_->server.Poll(ms); }

void MainWindowHarness::Destroy() { state_->server.Close(); }

}  // namespace coordtest
