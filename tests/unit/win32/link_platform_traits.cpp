#include "tests/unit/link_fakes.h"

namespace link_test {

bool ForcedEndLeavesThreadRunning() { return false; }

}  // namespace link_test
