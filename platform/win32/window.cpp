#include <windows.h>
// The portable names of platform/window.h, not the A/W macros of the system headers.
#undef PostMessage
#undef GetWindowText

#include <memory>
#include <mutex>

#include "platform/win32/wide.h"
#include "platform/window.h"

namespace platform {

namespace {

HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle FromHwnd(HWND window) { return reinterpret_cast<WindowHandle>(window); }

using win32::Wide;

bool IsPrivateCode(UINT code) { return code >= WM_USER && code < 0xC000; }

LRESULT CALLBACK HandlerWindowProc(HWND window, UINT code, WPARAM wParam, LPARAM lParam) {
    if (code == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* handler = reinterpret_cast<MessageHandler*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (code == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete handler;
        return DefWindowProcW(window, code, wParam, lParam);
    }
    if (handler != nullptr && *handler && IsPrivateCode(code)) {
        // No exception may unwind through the system's frames.
        try {
            if ((*handler)(code, wParam, lParam)) {
                return 1;
            }
        } catch (...) {
        }
    }
    return DefWindowProcW(window, code, wParam, lParam);
}

const wchar_t kWindowClass[] = L"SundraHandlerWindow";

bool RegisterHandlerClass() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = HandlerWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kWindowClass;
        registered =
            RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    });
    return registered;
}

bool SetText(WindowHandle window, const std::u16string& text, bool ok) {
    if (ok) {
        detail::NotifyWindowChange(WindowChange::Text, window, text);
    }
    return ok;
}

}  // namespace

bool IsWindow(WindowHandle window) { return window != 0 && ::IsWindow(ToHwnd(window)) != FALSE; }

bool SetWindowTextNarrow(WindowHandle window, const std::string& text) {
    if (!IsWindow(window)) {
        return false;
    }
    const bool ok = ::SetWindowTextA(ToHwnd(window), text.c_str()) != FALSE;
    return SetText(window, ok ? GetWindowText(window) : std::u16string(), ok);
}

bool SetWindowTextWide(WindowHandle window, const std::u16string& text) {
    if (!IsWindow(window)) {
        return false;
    }
    return SetText(window, text, ::SetWindowTextW(ToHwnd(window), Wide(text)) != FALSE);
}

std::u16string GetWindowText(WindowHandle window) {
    if (!IsWindow(window)) {
        return {};
    }
    const int length = ::GetWindowTextLengthW(ToHwnd(window));
    if (length <= 0) {
        return {};
    }
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied =
        ::GetWindowTextW(ToHwnd(window), reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

bool ShowWindow(WindowHandle window, ShowCommand command) {
    if (!IsWindow(window)) {
        return false;
    }
    const int show = command == ShowCommand::Hide   ? SW_HIDE
                     : command == ShowCommand::Show ? SW_SHOW
                                                    : SW_RESTORE;
    const bool before = ::ShowWindow(ToHwnd(window), show) != FALSE;
    const bool after = command != ShowCommand::Hide;
    if (before != after) {
        detail::NotifyWindowChange(WindowChange::Visibility, window, {}, after);
    }
    return before;
}

bool IsWindowVisible(WindowHandle window) {
    return IsWindow(window) && ::IsWindowVisible(ToHwnd(window)) != FALSE;
}

bool SetForegroundWindow(WindowHandle window) {
    return IsWindow(window) && ::SetForegroundWindow(ToHwnd(window)) != FALSE;
}

bool PostMessage(WindowHandle window, std::uint32_t code, WParam wParam, LParam lParam) {
    if (window == 0) {
        return false;
    }
    return ::PostMessageW(ToHwnd(window), code, static_cast<WPARAM>(wParam),
                          static_cast<LPARAM>(lParam)) != FALSE;
}

int ListAddString(WindowHandle list, const std::u16string& text) {
    if (!IsWindow(list)) {
        return kListError;
    }
    const LRESULT index =
        ::SendMessageW(ToHwnd(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text)));
    if (index >= 0) {
        detail::NotifyWindowChange(WindowChange::ListLineAdded, list, text, false, static_cast<int>(index));
    }
    return static_cast<int>(index);
}

int ListDeleteString(WindowHandle list, int index) {
    if (!IsWindow(list)) {
        return kListError;
    }
    const std::u16string removed = ListGetText(list, index);
    const LRESULT remaining =
        ::SendMessageW(ToHwnd(list), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    if (remaining >= 0) {
        detail::NotifyWindowChange(WindowChange::ListLineDeleted, list, removed, false, index);
    }
    return static_cast<int>(remaining);
}

int ListGetCount(WindowHandle list) {
    if (!IsWindow(list)) {
        return kListError;
    }
    return static_cast<int>(::SendMessageW(ToHwnd(list), LB_GETCOUNT, 0, 0));
}

std::u16string ListGetText(WindowHandle list, int index) {
    if (!IsWindow(list) || index < 0) {
        return {};
    }
    const LRESULT length =
        ::SendMessageW(ToHwnd(list), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) {
        return {};
    }
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const LRESULT copied = ::SendMessageW(ToHwnd(list), LB_GETTEXT, static_cast<WPARAM>(index),
                                          reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

bool ListSetCurSel(WindowHandle list, int index) {
    if (!IsWindow(list)) {
        return false;
    }
    const LRESULT result =
        ::SendMessageW(ToHwnd(list), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // LB_SETCURSEL reports LB_ERR also for a successful -1 (clear the selection).
    return index == -1 || result != LB_ERR;
}

int ListGetCurSel(WindowHandle list) {
    if (!IsWindow(list)) {
        return -1;
    }
    return static_cast<int>(::SendMessageW(ToHwnd(list), LB_GETCURSEL, 0, 0));
}

std::uint32_t ListGetHorizontalExtent(WindowHandle list) {
    if (!IsWindow(list)) {
        return 0;
    }
    return static_cast<std::uint32_t>(::SendMessageW(ToHwnd(list), LB_GETHORIZONTALEXTENT, 0, 0));
}

void ListSetHorizontalExtent(WindowHandle list, std::uint32_t extent) {
    if (IsWindow(list)) {
        ::SendMessageW(ToHwnd(list), LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent), 0);
    }
}

bool ListMeasureText(WindowHandle list, const std::u16string& text, std::uint32_t& width) {
    width = 0;
    if (!IsWindow(list)) {
        return false;
    }
    HWND hwnd = ToHwnd(list);
    HDC dc = ::GetDC(hwnd);
    if (dc == nullptr) {
        return false;
    }
    HGDIOBJ previous = nullptr;
    if (auto font = reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0))) {
        previous = ::SelectObject(dc, font);
    }
    SIZE size = {};
    const bool ok =
        ::GetTextExtentPoint32W(dc, Wide(text), static_cast<int>(text.size()), &size) != FALSE;
    if (previous != nullptr) {
        ::SelectObject(dc, previous);
    }
    ::ReleaseDC(hwnd, dc);
    if (ok && size.cx > 0) {
        width = static_cast<std::uint32_t>(size.cx);
    }
    return ok;
}

WindowHandle CreateTopLevelWindow(const std::u16string& title, MessageHandler handler) {
    if (!RegisterHandlerClass()) {
        return 0;
    }
    auto* owned = new (std::nothrow) MessageHandler(std::move(handler));
    if (owned == nullptr) {
        return 0;
    }
    HWND window = ::CreateWindowExW(0, kWindowClass, Wide(title), WS_OVERLAPPEDWINDOW,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 480, 320, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), owned);
    if (window == nullptr) {
        // WM_NCDESTROY did not run, so the handler was not taken over.
        delete owned;
        return 0;
    }
    return FromHwnd(window);
}

WindowHandle CreateChildWindow(WindowHandle parent, WindowKind kind, const std::u16string& text) {
    if (!IsWindow(parent)) {
        return 0;
    }
    static int nextTop = 8;
    const wchar_t* className = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    int height = 20;
    if (kind == WindowKind::Button) {
        className = L"BUTTON";
        style |= BS_PUSHBUTTON;
        height = 24;
    } else if (kind == WindowKind::List) {
        className = L"LISTBOX";
        style |= WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
        height = 160;
    }
    HWND window = ::CreateWindowExW(0, className, kind == WindowKind::List ? L"" : Wide(text),
                                    style, 8, nextTop, 440, height, ToHwnd(parent), nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    nextTop = nextTop > 200 ? 8 : nextTop + 24;
    if (window == nullptr) {
        return 0;
    }
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                   FALSE);
    return FromHwnd(window);
}

bool DestroyWindow(WindowHandle window) {
    if (!IsWindow(window)) {
        return false;
    }
    if (::DestroyWindow(ToHwnd(window)) == FALSE) {
        return false;
    }
    detail::NotifyWindowChange(WindowChange::Destroyed, window);
    return true;
}

int PumpMessages(WindowHandle window, std::uint32_t timeoutMs) {
    const ULONGLONG start = ::GetTickCount64();
    int handled = 0;
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.hwnd == ToHwnd(window) && IsPrivateCode(message.message)) {
                ++handled;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (handled > 0 || !IsWindow(window)) {
            return handled;
        }
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (timeoutMs != kInfinite && elapsed >= timeoutMs) {
            return 0;
        }
        const DWORD remaining =
            timeoutMs == kInfinite ? INFINITE : static_cast<DWORD>(timeoutMs - elapsed);
        ::MsgWaitForMultipleObjectsEx(0, nullptr, remaining, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

}  // namespace platform
