#include "tests/unit/link_fakes.h"

namespace link_test {

// Tests run in a throw-away Wine prefix: its HKEY_LOCAL_MACHINE is the scratch place.
void UseScratchRegistry() {}

bool ForcedEndLeavesThreadRunning() { return false; }

}  // namespace link_test
