// The Windows map application: a small window that shows the last status block and has two
// toggles, consent (byte 13) and protection (byte 12). It finds the program's main window by its
// caption "Sundra Synchronizer", or takes its handle from --target=HWND. Every block it receives
// is also printed on the standard output.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/mapapp/map_app_logic.h"

namespace {

constexpr UINT_PTR kDelayTimer = 1;
constexpr UINT_PTR kExitTimer = 2;
constexpr UINT_PTR kFindTimer = 3;
constexpr UINT_PTR kProgramTimer = 4;
constexpr int kConsentBox = 101;
constexpr int kProtectBox = 102;
constexpr int kStatusLabel = 103;

mapapp::Options g_options;
mapapp::MapAppState* g_state = nullptr;
HWND g_window = nullptr;
HWND g_program = nullptr;

void Say(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

void ShowState() {
    if (!g_window) return;
    const std::string text = "Status: " + mapapp::Format(g_state->Current().data());
    SetDlgItemTextA(g_window, kStatusLabel, text.c_str());
    CheckDlgButton(g_window, kConsentBox, g_state->Consent() ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(g_window, kProtectBox, g_state->Protect() ? BST_CHECKED : BST_UNCHECKED);
}

void Send(const mapapp::Block& block) {
    if (!g_program) return;
    COPYDATASTRUCT data{};
    data.dwData = 277;
    data.cbData = 15;
    data.lpData = const_cast<std::uint8_t*>(block.data());
    DWORD_PTR result = 0;
    const LRESULT ok = SendMessageTimeoutW(
        g_program, WM_COPYDATA, reinterpret_cast<WPARAM>(g_window), reinterpret_cast<LPARAM>(&data),
        SMTO_NORMAL | SMTO_ABORTIFHUNG, g_options.sendTimeoutMs, &result);
    Say(ok ? "sent: " + mapapp::Format(block.data()) + " result " + std::to_string(result)
           : "send failed: " + mapapp::Format(block.data()));
}

HWND FindProgram() {
    if (!g_options.target.empty()) {
        return reinterpret_cast<HWND>(
            static_cast<UINT_PTR>(std::strtoull(g_options.target.c_str(), nullptr, 0)));
    }
    return FindWindowW(nullptr, L"Sundra Synchronizer");
}

LRESULT OnCopyData(HWND, const COPYDATASTRUCT* data) {
    if (data == nullptr || data->dwData != 277 || data->cbData < 15 || data->lpData == nullptr)
        return 0;
    const auto* bytes = static_cast<const std::uint8_t*>(data->lpData);
    Say("status: " + mapapp::Format(bytes));
    switch (g_state->OnStatus(bytes)) {
        case mapapp::Reaction::SendNow:
            Send(g_state->Current());
            break;
        case mapapp::Reaction::StartDelay:
            SetTimer(g_window, kDelayTimer, g_options.delayMs, nullptr);
            break;
        case mapapp::Reaction::AskUser:
            // Answered inside the program's send: the program waits for it up to its bound.
            if (MessageBoxW(g_window,
                            L"May the synchronization service write into the chart databases?",
                            L"Map application", MB_YESNO | MB_ICONQUESTION) == IDYES) {
                g_state->SetConsent(true);
                Send(g_state->Current());
            }
            break;
        case mapapp::Reaction::None:
            break;
    }
    ShowState();
    return 1;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COPYDATA:
            return OnCopyData(reinterpret_cast<HWND>(wParam),
                              reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_COMMAND:
            if (LOWORD(wParam) == kConsentBox || LOWORD(wParam) == kProtectBox) {
                const bool on = IsDlgButtonChecked(window, LOWORD(wParam)) == BST_CHECKED;
                if (LOWORD(wParam) == kConsentBox) {
                    g_state->SetConsent(on);
                } else {
                    g_state->SetProtect(on);
                }
                Send(g_state->Current());
                ShowState();
            }
            return 0;
        case WM_TIMER:
            if (wParam == kDelayTimer) {
                KillTimer(window, kDelayTimer);
                g_state->ClearDelay();
                g_state->ConsentAfterDelay();
                Send(g_state->Current());
                ShowState();
            } else if (wParam == kExitTimer) {
                DestroyWindow(window);
            } else if (wParam == kProgramTimer && g_program && !IsWindow(g_program)) {
                // The program has ended: nobody is left to talk to.
                Say("program window gone");
                g_program = nullptr;
                DestroyWindow(window);
            } else if (wParam == kFindTimer && !g_program) {
                g_program = FindProgram();
                if (g_program) {
                    KillTimer(window, kFindTimer);
                    Send(g_state->Running());
                }
            }
            return 0;
        case WM_DESTROY:
            Send(g_state->ShuttingDown());
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    if (!mapapp::ParseOptions(argc, argv, g_options, error)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), mapapp::Usage());
        return 2;
    }
    mapapp::MapAppState state(g_options);
    g_state = &state;

    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"SundraMapAppSimulator";
    RegisterClassW(&windowClass);
    g_window =
        CreateWindowW(L"SundraMapAppSimulator", L"Map application", WS_OVERLAPPEDWINDOW,
                      CW_USEDEFAULT, CW_USEDEFAULT, 460, 160, nullptr, nullptr, instance, nullptr);
    if (!g_window) return 1;
    CreateWindowW(L"STATIC", L"Status:", WS_CHILD | WS_VISIBLE, 10, 10, 430, 20, g_window,
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kStatusLabel)), instance, nullptr);
    CreateWindowW(L"BUTTON", L"Consent to writes", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 40,
                  200, 20, g_window, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kConsentBox)),
                  instance, nullptr);
    CreateWindowW(L"BUTTON", L"Ask for protection", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 70,
                  200, 20, g_window, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kProtectBox)),
                  instance, nullptr);
    ShowWindow(g_window, SW_SHOWNOACTIVATE);
    ShowState();
    Say("window " + std::to_string(reinterpret_cast<UINT_PTR>(g_window)));

    g_program = FindProgram();
    if (g_program) {
        Send(g_state->Running());
    } else {
        // The program may still be starting: look again until it is there.
        SetTimer(g_window, kFindTimer, 100, nullptr);
    }

    if (g_options.noAnswer) {
        // A hung map application: registered, then it stops taking messages.
        Say("not answering");
        mapapp::MarkNotAnswering();
        const ULONGLONG start = GetTickCount64();
        while (g_options.exitAfterMs < 0 ||
               GetTickCount64() - start < static_cast<ULONGLONG>(g_options.exitAfterMs)) {
            if (g_program && !IsWindow(g_program)) break;
            Sleep(50);
        }
        return 0;
    }
    SetTimer(g_window, kProgramTimer, 100, nullptr);
    if (g_options.exitAfterMs >= 0)
        SetTimer(g_window, kExitTimer, static_cast<UINT>(g_options.exitAfterMs), nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
