#pragma once

#include <string>

namespace sundra_test {

// Gives a test a configuration store of its own for its lifetime. The console build points
// SUNDRA_REGISTRY_FILE at a file in a fresh temporary folder (not created until written) and
// restores the variable afterwards; on Windows the tests run in a throw-away Wine prefix and
// write under HKEY_LOCAL_MACHINE with value names of their own, which they delete again.
class RegistrySandbox {
  public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  private:
    std::string previous_;
    bool hadPrevious_ = false;
    std::string folder_;
};

// Full path of the test library built beside the tests, in the form the platform expects.
std::u16string TestLibraryPath();

}  // namespace sundra_test
