#include "sundra_synchronizer_app.h"

#include <commctrl.h>

#include "resource.h"
#include "sundra_synchronizer_dlg.h"
#include "tray_icon.h"

namespace {
CSundraSynchronizerApp theApp;
}  // namespace

CSundraSynchronizerApp& AfxGetApp() { return theApp; }

bool CSundraSynchronizerApp::InitInstance(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = 0xFF;
    InitCommonControlsEx(&controls);

    {
        CSundraSynchronizerDlg dialog(instance);
        {
            CMenuTrayIcon trayIcon(instance, LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME)));
            dialog.DoModal();
            // The tray icon goes first, the dialog (and what its destructor releases) after it.
        }
    }
    mainWindow_ = nullptr;
    return false;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    try {
        AfxGetApp().InitInstance(instance);
    } catch (...) {
    }
    return 0;
}
