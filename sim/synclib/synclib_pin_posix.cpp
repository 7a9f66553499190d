#include <dlfcn.h>

#include "sim/synclib/pin.h"

namespace sundra::synclib {

void PinLibrary() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&PinLibrary), &info) == 0 || info.dli_fname == nullptr) {
        return;
    }
    // RTLD_NODELETE on the loaded library: later dlclose calls no longer unmap it.
    dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace sundra::synclib
