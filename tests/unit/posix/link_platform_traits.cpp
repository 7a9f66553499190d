#include "tests/unit/link_fakes.h"

namespace link_test {

bool ForcedEndLeavesThreadRunning() { return true; }

}  // namespace link_test
