#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/text.h"
#include "tests/unit/platform_test_support.h"

namespace sundra_test {

RegistrySandbox::RegistrySandbox() {
    if (const char* previous = ::getenv("SUNDRA_REGISTRY_FILE")) {
        previous_ = previous;
        hadPrevious_ = true;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "sundra-reg-XXXXXX").string();
    if (::mkdtemp(pattern.data())) folder_ = pattern;
    ::setenv("SUNDRA_REGISTRY_FILE", (folder_ + "/registry.reg").c_str(), 1);
}

RegistrySandbox::~RegistrySandbox() {
    if (hadPrevious_) {
        ::setenv("SUNDRA_REGISTRY_FILE", previous_.c_str(), 1);
    } else {
        ::unsetenv("SUNDRA_REGISTRY_FILE");
    }
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

std::u16string TestLibraryPath() { return platform::WidenAscii(SUNDRA_TESTLIB_PATH); }

}  // namespace sundra_test
