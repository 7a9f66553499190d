#pragma once

// The window operations the core needs: is-window, texts, show/hide, posting a message, and the
// log list's lines. On Windows these are the real calls on HWNDs. The console build has no
// windows: it keeps a process-wide registry of window objects addressed by ids that are never
// reused (0 names none); see platform/posix/window.cpp for its rules.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/types.h"

namespace platform {

// --- Windows as the core uses them -------------------------------------------------------------

// False for 0 and once the window has been destroyed.
bool IsWindow(WindowHandle window);
// SetWindowTextA / SetWindowTextW. False when the window does not exist.
bool SetWindowTextNarrow(WindowHandle window, const std::string& text);
bool SetWindowTextWide(WindowHandle window, const std::u16string& text);
// Empty when the window does not exist.
std::u16string GetWindowText(WindowHandle window);

enum class ShowCommand { Hide, Show, Restore };
// Returns whether the window was visible before (as ShowWindow does); false when it does not exist.
bool ShowWindow(WindowHandle window, ShowCommand command);
// Visible when the window and all its ancestors are.
bool IsWindowVisible(WindowHandle window);
bool SetForegroundWindow(WindowHandle window);

// Places a message in the window's queue without waiting (PostMessageW). False when the window
// does not exist or its queue refuses; then nothing was queued.
bool PostMessage(WindowHandle window, std::uint32_t code, WParam wParam, LParam lParam);

// --- The log list (an unsorted single-selection list box) ----------------------------------------

inline constexpr int kListError = -1;       // LB_ERR
inline constexpr int kListErrorSpace = -2;  // LB_ERRSPACE

// Appends a line; its index, or kListError / kListErrorSpace.
int ListAddString(WindowHandle list, const std::u16string& text);
// Remaining line count, or kListError.
int ListDeleteString(WindowHandle list, int index);
// Number of lines, or kListError.
int ListGetCount(WindowHandle list);
// Empty when the index or the list is not valid.
std::u16string ListGetText(WindowHandle list, int index);
// Selects a line and scrolls it into view; -1 clears the selection. False on failure.
bool ListSetCurSel(WindowHandle list, int index);
// Selected index, or -1 when none.
int ListGetCurSel(WindowHandle list);
// Scrollable width in pixels (LB_GETHORIZONTALEXTENT / LB_SETHORIZONTALEXTENT).
std::uint32_t ListGetHorizontalExtent(WindowHandle list);
void ListSetHorizontalExtent(WindowHandle list, std::uint32_t extent);
// Width in pixels of text in the list's font. False when there is no device context to measure
// with. The console build counts kConsoleCharacterWidth pixels per UTF-16 unit.
inline constexpr std::uint32_t kConsoleCharacterWidth = 7;
bool ListMeasureText(WindowHandle list, const std::u16string& text, std::uint32_t& width);

// --- Creating windows (front ends and tests) -----------------------------------------------------

// Called on the thread that runs PumpMessages for every message posted to the window whose code
// is a private one (1024 and above, below 0xC000); true means handled. Exceptions must not leave
// it.
using MessageHandler = std::function<bool(std::uint32_t code, WParam wParam, LParam lParam)>;

enum class WindowKind { Label, Button, List };

// A hidden top-level window whose private messages go to handler. 0 on failure. On Windows the
// window belongs to the calling thread, which must also pump its messages and destroy it.
WindowHandle CreateTopLevelWindow(const std::u16string& title, MessageHandler handler);
// A visible child: a label ("STATIC"), a push button or a list (the log list's styles). 0 on
// failure.
WindowHandle CreateChildWindow(WindowHandle parent, WindowKind kind, const std::u16string& text);
// Destroys the window and its children; a top-level window's queued messages are dropped.
bool DestroyWindow(WindowHandle window);

// Handles queued messages of the calling thread's window: waits at most timeoutMs for the first
// one, then handles every message already queued, and returns how many it handled.
int PumpMessages(WindowHandle window, std::uint32_t timeoutMs);

// --- Watching windows (the console front end prints what a dialog would show) -------------------

enum class WindowChange { Text, Visibility, ListLineAdded, ListLineDeleted, Destroyed };

struct WindowNotification {
    WindowChange change = WindowChange::Text;
    WindowHandle window = 0;
    std::u16string text;   // new text, or the line added
    bool visible = false;  // Visibility: the new state
    int index = -1;        // ListLineAdded / ListLineDeleted: the line's index
};

// One process-wide observer, called after each change made through the functions above, on the
// thread that made it and without any lock of this layer held. Empty clears it.
using WindowObserver = std::function<void(const WindowNotification&)>;
void SetWindowObserver(WindowObserver observer);

}  // namespace platform

namespace platform::detail {
// Used by the window backends: hands a change to the observer, if one is set.
void NotifyWindowObserver(const WindowNotification& notification);
void NotifyWindowChange(WindowChange change, WindowHandle window, std::u16string text = {},
                        bool visible = false, int index = -1);
}  // namespace platform::detail
