#include "sundra_synchronizer_dlg.h"

#include "resource.h"
#include "sundra_synchronizer_app.h"

namespace {

platform::WindowHandle Handle(HWND window) {
    return reinterpret_cast<platform::WindowHandle>(window);
}

}  // namespace

CSundraSynchronizerDlg::CSundraSynchronizerDlg(HINSTANCE instance)
    : instance_(instance), icon_(LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

CSundraSynchronizerDlg::~CSundraSynchronizerDlg() { presenter_.reset(); }

INT_PTR CSundraSynchronizerDlg::DoModal() {
    return DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_SUNDRASYNCHRONIZER_DIALOG), nullptr,
                           &CSundraSynchronizerDlg::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool CSundraSynchronizerDlg::AskYesNo(const std::u16string& caption, const std::u16string& text) {
    return MessageBoxW(window_, reinterpret_cast<const wchar_t*>(text.c_str()),
                       reinterpret_cast<const wchar_t*>(caption.c_str()), MB_YESNO) == IDYES;
}

void CSundraSynchronizerDlg::EndDialog(int result) {
    if (window_) ::EndDialog(window_, result);
}

INT_PTR CALLBACK CSundraSynchronizerDlg::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
    auto* self = reinterpret_cast<CSundraSynchronizerDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CSundraSynchronizerDlg*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
        AfxGetApp().SetMainWnd(window);
    }
    if (!self) return FALSE;
    INT_PTR result = FALSE;
    try {
        result = self->WindowProc(message, wParam, lParam);
    } catch (...) {
        result = FALSE;
    }
    if (message == WM_NCDESTROY) {
        self->window_ = nullptr;
        AfxGetApp().SetMainWnd(nullptr);
    }
    return result;
}

INT_PTR CSundraSynchronizerDlg::Result(LONG_PTR result) {
    SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CSundraSynchronizerDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // The bus comes first: the service's questions and the workers' reports.
    if (application::MainWindowPresenter::IsBusMessage(message)) {
        if (!presenter_) return FALSE;
        const auto dispatched = presenter_->Dispatch(message, static_cast<platform::WParam>(wParam),
                                                     static_cast<platform::LParam>(lParam));
        return dispatched.runDefault ? FALSE : Result(1);
    }
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            return OnCommand(wParam);
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_MINIMIZE && presenter_) {
                presenter_->OnMinimize(lParam != 0);
                return Result(0);
            }
            return FALSE;
        case WM_COPYDATA: {
            const auto* copyData = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (!presenter_ || !copyData) return FALSE;
            const platform::CopyDataRecord record{copyData->dwData, copyData->cbData,
                                                  copyData->lpData};
            int answer = 0;
            if (!presenter_->HandleCopyData(Handle(reinterpret_cast<HWND>(wParam)), &record,
                                            answer)) {
                return FALSE;
            }
            return Result(answer);
        }
        case WM_PAINT:
            if (IsIconic(window_)) {
                OnPaintIconic();
                return Result(0);
            }
            return FALSE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(icon_);
        case WM_QUERYENDSESSION:
            return Result(TRUE);
        case WM_ENDSESSION:
            // The process may be ended as soon as this returns: stop the threads and the service
            // now, in the usual order, without asking.
            if (wParam && presenter_) presenter_->OnSessionEnd();
            return Result(0);
        default:
            return FALSE;
    }
}

BOOL CSundraSynchronizerDlg::OnInitDialog() {
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    application::MainWindowControls controls;
    controls.mainWindow = Handle(window_);
    controls.logList = Handle(GetDlgItem(window_, IDC_LOG_LIST));
    controls.serviceStateLabel = Handle(GetDlgItem(window_, IDC_SERVICE_STATE));
    controls.communicationStateLabel = Handle(GetDlgItem(window_, IDC_COMMUNICATION_STATE));
    controls.pauseButton = Handle(GetDlgItem(window_, IDC_PAUSE));
    presenter_ = std::make_unique<application::MainWindowPresenter>(controls, *this);
    presenter_->Initialize();
    return TRUE;
}

INT_PTR CSundraSynchronizerDlg::OnCommand(WPARAM wParam) {
    // Buttons report BN_CLICKED, menus and posted commands 0: the same code. Other notifications
    // (the list's selection changes) are not commands.
    if (HIWORD(wParam) != 0 || !presenter_) return FALSE;
    const UINT id = LOWORD(wParam);
    switch (id) {
        case IDOK:
            presenter_->OnOk();
            return TRUE;
        case IDCANCEL:
            presenter_->OnCancel();
            return TRUE;
        default:
            return presenter_->OnCommand(id) ? TRUE : FALSE;
    }
}

void CSundraSynchronizerDlg::OnPaintIconic() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(window_, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(window_, &paint);
}
