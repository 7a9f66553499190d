#pragma once

#include <string>

namespace synchronization::manager {

// Reads a REG_SZ value of the chart vendor's key "Software\R-Iri\Synchronization" under
// HKEY_LOCAL_MACHINE. The output is cleared first; it holds the text up to the first zero code
// unit (all of the data when there is none). True also for an empty text: callers test that
// themselves. REG_EXPAND_SZ and every other type count as absent. Safe on any thread.
bool ReadRegistryString(const std::u16string& valueName, std::u16string& output);

}  // namespace synchronization::manager
