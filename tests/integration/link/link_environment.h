#pragma once

#include <string>

namespace link_integration {

void SetEnvironment(const std::string& name, const std::string& value);
// The configuration store of this test process: a registry file of its own in the console
// build, the throw-away Wine prefix's registry on Windows.
void UseScratchRegistry(const std::string& folder);

}  // namespace link_integration
