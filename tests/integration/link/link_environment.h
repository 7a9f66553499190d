#pragma once

#include <string>

namespace link_integration {

void SetEnvironment(const std::string& name, const std::string& value);
// The configuration store of this test process: a registry file of its own in the console
// build, the throw-away Wine prefix's registry on Windows.
void UseScratchRegistry(const std::string& folder);
// Whether a thread that Unload ended by force goes on running (the console build abandons it)
// or is gone (Windows terminates it).
bool ForcedEndLeavesThreadRunning();

}  // namespace link_integration
