#include "tray_icon.h"

#include <cwchar>

#include "resource.h"
#include "sundra_synchronizer_app.h"

namespace {
const wchar_t kCallbackWindowClass[] = L"SundraSynchronizerTrayIcon";
const wchar_t kTip[] = L"Sundra Synchronizer is running";
}  // namespace

UINT CTrayIcon::CallbackMessage() {
    static const UINT message = RegisterWindowMessageW(L"CTrayIcon");
    return message;
}

UINT CTrayIcon::TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

CTrayIcon::CTrayIcon(HINSTANCE instance, HICON icon) {
    if (LOBYTE(LOWORD(GetVersion())) < 4) {
        iconShown_ = FALSE;
        return;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &CTrayIcon::StaticWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kCallbackWindowClass;
    RegisterClassExW(&windowClass);  // already registered by an earlier icon: fine
    window_ = CreateWindowExW(0, kCallbackWindowClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                              nullptr, instance, this);

    ZeroMemory(&record_, sizeof(record_));
    record_.cbSize = sizeof(NOTIFYICONDATAW);
    record_.hWnd = window_;
    record_.uID = kIconId;
    record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record_.uCallbackMessage = CallbackMessage();
    record_.hIcon = icon;
    wcsncpy(record_.szTip, kTip, 64);
    record_.szTip[63] = L'\0';

    attempted_ = window_ != nullptr;
    iconShown_ = Shell_NotifyIconW(NIM_ADD, &record_);
    // Kept for a taskbar restart, when the notification area may be there again.
    if (!iconShown_ && !attempted_) ZeroMemory(&record_, sizeof(record_));
}

CTrayIcon::~CTrayIcon() {
    if (iconShown_) {
        record_.uFlags = 0;
        Shell_NotifyIconW(NIM_DELETE, &record_);
        iconShown_ = FALSE;
    }
    if (window_) {
        HWND window = window_;
        window_ = nullptr;
        DestroyWindow(window);
    }
}

void CTrayIcon::AddAgain() {
    if (!attempted_) return;
    record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    iconShown_ = Shell_NotifyIconW(NIM_ADD, &record_);
}

LRESULT CALLBACK CTrayIcon::StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CTrayIcon*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || !self->window_) return ::DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->WindowProc(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT CTrayIcon::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CTrayIcon::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TaskbarCreatedMessage()) {
        AddAgain();
        return 0;
    }
    return DefWindowProc(message, wParam, lParam);
}

CMenuTrayIcon::CMenuTrayIcon(HINSTANCE instance, HICON icon)
    : CTrayIcon(instance, icon),
      instance_(instance),
      defaultItem_(ID_TRAYPOPUP_SHOW),
      defaultByPosition_(FALSE) {}

CMenuTrayIcon::~CMenuTrayIcon() = default;

LRESULT CMenuTrayIcon::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TaskbarCreatedMessage()) {
        AddAgain();
        return 0;
    }
    if (message != CallbackMessage() || wParam != kIconId) {
        return DefWindowProc(message, wParam, lParam);
    }
    HWND mainWindow = AfxGetApp().GetMainWnd();
    switch (LOWORD(lParam)) {
        case WM_LBUTTONDBLCLK:
            doubleClickPending_ = true;
            return 1;
        case WM_LBUTTONUP:
            if (!doubleClickPending_) return DefWindowProc(message, wParam, lParam);
            doubleClickPending_ = false;
            SetForegroundWindow(mainWindow);
            PostMessageW(mainWindow, WM_COMMAND, defaultItem_, 0);
            return 1;
        case WM_RBUTTONUP: {
            HMENU menu = LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_TRAYPOPUP));
            HMENU popup = menu ? GetSubMenu(menu, 0) : nullptr;
            if (!popup) {
                if (menu) DestroyMenu(menu);
                return 0;
            }
            SetMenuDefaultItem(popup, defaultItem_, defaultByPosition_);
            POINT cursor{};
            GetCursorPos(&cursor);
            SetForegroundWindow(mainWindow);
            TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, mainWindow, nullptr);
            PostMessageW(mainWindow, WM_NULL, 0, 0);
            DestroyMenu(menu);
            return 1;
        }
        default:
            return DefWindowProc(message, wParam, lParam);
    }
}
