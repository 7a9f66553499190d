#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "tests/unit/link_fakes.h"

namespace link_test {

void UseScratchRegistry() {
    static const std::string path = "/tmp/sundra-link-unit-" + std::to_string(getpid()) + ".reg";
    unlink(path.c_str());
    setenv("SUNDRA_REGISTRY_FILE", path.c_str(), 1);
}

bool ForcedEndLeavesThreadRunning() { return true; }

}  // namespace link_test
