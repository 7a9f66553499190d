#pragma once

#include <string>

namespace synchronization::manager {

// Reads a REG_SZ value of "Software\R-Iri\Synchronization" under HKEY_LOCAL_MACHINE.
bool ReadRegistryString(const std::u16string& valueName, std::u16string& output);

}  // namespace synchronization::manager
