#pragma once

#include <windows.h>
// shellapi.h needs windows.h before it.
#include <shellapi.h>

// The notification-area icon. The object is itself a hidden 10x10 popup window, the callback
// window that receives the notification area's messages.
class CTrayIcon {
  public:
    static constexpr UINT kIconId = 130;

    CTrayIcon(HINSTANCE instance, HICON icon);
    // Removes the icon, then destroys the callback window.
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    bool IconShown() const { return iconShown_ != FALSE; }
    HWND GetSafeHwnd() const { return window_; }

  protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    static UINT CallbackMessage();
    static UINT TaskbarCreatedMessage();
    // Adds the icon again after the taskbar was restarted (it forgets every icon then).
    void AddAgain();

  private:
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);

    BOOL iconShown_ = FALSE;
    NOTIFYICONDATAW record_{};
    HWND window_ = nullptr;
    bool attempted_ = false;  // an add was tried: the icon belongs in the notification area
};

// The icon with its menu: a double click shows the main window, a right click opens Show / Exit.
class CMenuTrayIcon : public CTrayIcon {
  public:
    CMenuTrayIcon(HINSTANCE instance, HICON icon);
    ~CMenuTrayIcon() override;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    HINSTANCE instance_;
    UINT defaultItem_;
    BOOL defaultByPosition_;
    bool doubleClickPending_ = false;
};
