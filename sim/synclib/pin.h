#pragma once

namespace sundra::synclib {

// Keeps this library loaded for the rest of the process: a thread that was left behind at
// shut-down may still run its code after the program frees the library.
void PinLibrary();

}  // namespace sundra::synclib
