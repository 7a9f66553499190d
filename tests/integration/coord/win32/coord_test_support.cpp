#include "tests/integration/coord/coord_test_support.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace coordtest {

struct MainWindowHarness::State {
    HWND window = nullptr;
    platform::CopyDataHandler handler;
};

namespace {

LRESULT CALLBACK HarnessProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        auto* state =
            reinterpret_cast<MainWindowHarness::State*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        platform::CopyDataRecord record;
        if (state && state->handler && platform::CopyDataRecordFromParam(lParam, record)) {
            return state->handler(static_cast<platform::WindowHandle>(wParam), record);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::string NativePath(const std::string& buildPath) {
    std::string path = "Z:" + buildPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void UseRegistryFile(const std::string&) {}

MainWindowHarness::MainWindowHarness() : state_(new State) {}

MainWindowHarness::~MainWindowHarness() {
    Destroy();
    delete state_;
}

void MainWindowHarness::Destroy() {
    if (state_->window) DestroyWindow(state_->window);
    state_->window = nullptr;
}

bool MainWindowHarness::Create(platform::CopyDataHandler handler) {
    state_->handler = std::move(handler);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = HarnessProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"CoordTestMainWindow";
    RegisterClassW(&windowClass);
    state_->window =
        CreateWindowW(L"CoordTestMainWindow", L"Sundra Synchronizer", WS_OVERLAPPEDWINDOW, 0, 0,
                      200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!state_->window) return false;
    SetWindowLongPtrW(state_->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state_));
    return true;
}

platform::WindowHandle MainWindowHarness::Handle() const {
    return reinterpret_cast<platform::WindowHandle>(state_->window);
}

std::string MainWindowHarness::MapAppTarget() const {
    return std::to_string(reinterpret_cast<UINT_PTR>(state_->window));
}

void MainWindowHarness::Pump(std::uint32_t ms) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace coordtest
