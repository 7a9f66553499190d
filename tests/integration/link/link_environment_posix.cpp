#include <stdlib.h>

#include "tests/integration/link/link_environment.h"

namespace link_integration {

void SetEnvironment(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

void UseScratchRegistry(const std::string& folder) {
    SetEnvironment("SUNDRA_REGISTRY_FILE", folder + "/registry.reg");
}

bool ForcedEndLeavesThreadRunning() { return true; }

}  // namespace link_integration
