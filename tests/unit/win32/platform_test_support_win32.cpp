#include <string>

#include "platform/text.h"
#include "tests/unit/platform_test_support.h"

namespace sundra_test {

RegistrySandbox::RegistrySandbox() = default;
RegistrySandbox::~RegistrySandbox() = default;

std::u16string TestLibraryPath() {
    // The build runs on Linux: under Wine its absolute paths live on drive Z:.
    std::u16string path = platform::WidenAscii(SUNDRA_TESTLIB_PATH);
    for (auto& unit : path) {
        if (unit == u'/') unit = u'\\';
    }
    if (!path.empty() && path[0] == u'\\') path = u"Z:" + path;
    return path;
}

}  // namespace sundra_test
