// The export of the substitute external communication library and its communication object.

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <type_traits>

#include "manager/ext_communication.h"
#include "sim/synclib/service.h"

namespace extcomm = voru::synchronization::extcomm;

namespace sundra::synclib {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

ServiceConfig ReadConfig() {
    ServiceConfig config;
    config.journalPath = Environment("SUNDRA_SYNCLIB_JOURNAL");
    const std::string bound = Environment("SUNDRA_SYNCLIB_STOP_MS");
    if (!bound.empty()) {
        config.stopBoundMs = static_cast<std::uint32_t>(std::strtoul(bound.c_str(), nullptr, 10));
    }
    const std::string path = Environment("SUNDRA_SYNCLIB_SCENARIO");
    if (path.empty()) {
        config.scenarioText = DefaultScenarioText();
        config.scenarioSource = "default";
        return config;
    }
    config.scenarioSource = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        // Runs nothing, and says why in the journal: a test must not mistake this for its
        // own scenario.
        config.scenarioText = "bad-scenario-file\n";
        return config;
    }
    std::ostringstream content;
    content << in.rdbuf();
    config.scenarioText = content.str();
    return config;
}

// Shared by the program's loader, its communication thread and a pause call; the last reference
// ends the simulated service.
class SimCommunication final : public extcomm::ICommunication {
  public:
    explicit SimCommunication(std::shared_ptr<Service> service) : service_(std::move(service)) {}
    ~SimCommunication() override { service_->Stop(); }

    std::int32_t SendRequest(const extcomm::SyncRequestKind& kind, const char16_t* text) override {
        try {
            return service_->OnRequest(static_cast<std::int32_t>(kind), text);
        } catch (...) {
            return 0;
        }
    }

  private:
    std::shared_ptr<Service> service_;
};

}  // namespace

}  // namespace sundra::synclib

#if defined(_WIN32)
#define SUNDRA_SYNCLIB_EXPORT  // exported by sundra_synclib.def, undecorated on x86 and x64
#else
#define SUNDRA_SYNCLIB_EXPORT __attribute__((visibility("default")))
#endif

extern "C" SUNDRA_SYNCLIB_EXPORT bool CreateCommunication(
    std::shared_ptr<extcomm::ISyncEvents> listener,
    std::shared_ptr<extcomm::ICommunication>& communication) {
    using namespace sundra::synclib;
    try {
        if (!listener) return false;
        auto service = std::make_shared<Service>(std::move(listener), ReadConfig());
        auto object = std::make_shared<SimCommunication>(service);
        service->Start();
        communication = std::move(object);
        return true;
    } catch (...) {
        return false;
    }
}

static_assert(std::is_same_v<decltype(&CreateCommunication), extcomm::CreateCommunicationFunction>);
