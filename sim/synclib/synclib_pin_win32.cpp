#include <windows.h>

#include "sim/synclib/pin.h"

namespace sundra::synclib {

void PinLibrary() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PinLibrary), &module);
}

}  // namespace sundra::synclib
