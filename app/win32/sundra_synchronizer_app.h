#pragma once

#include <windows.h>

// The application object: prepares the common controls, runs the main dialog modally with the
// tray icon beside it, and takes both down again.
class CSundraSynchronizerApp {
  public:
    CSundraSynchronizerApp() = default;
    CSundraSynchronizerApp(const CSundraSynchronizerApp&) = delete;
    CSundraSynchronizerApp& operator=(const CSundraSynchronizerApp&) = delete;

    // The whole life of the program; false, as there is no message loop of its own to run.
    bool InitInstance(HINSTANCE instance);

    // The main dialog's window while it exists, else null; the tray icon posts its commands there.
    HWND GetMainWnd() const { return mainWindow_; }
    void SetMainWnd(HWND window) { mainWindow_ = window; }

  private:
    HWND mainWindow_ = nullptr;
};

// The one application object.
CSundraSynchronizerApp& AfxGetApp();
