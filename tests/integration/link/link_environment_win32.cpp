#include <stdlib.h>

#include "tests/integration/link/link_environment.h"

namespace link_integration {

void SetEnvironment(const std::string& name, const std::string& value) {
    _putenv_s(name.c_str(), value.c_str());
}

void UseScratchRegistry(const std::string&) {}

bool ForcedEndLeavesThreadRunning() { return false; }

}  // namespace link_integration
