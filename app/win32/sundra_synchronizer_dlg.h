#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/main_window_presenter.h"

// The main dialog (template 102). Everything it decides is in the presenter; this class turns
// the dialog's messages into the presenter's calls and does for it what only a dialog can do.
class CSundraSynchronizerDlg : public application::IMainWindowFrontEnd {
  public:
    explicit CSundraSynchronizerDlg(HINSTANCE instance);
    // Releases what the OK command left (the presenter's destructor order).
    ~CSundraSynchronizerDlg() override;
    CSundraSynchronizerDlg(const CSundraSynchronizerDlg&) = delete;
    CSundraSynchronizerDlg& operator=(const CSundraSynchronizerDlg&) = delete;

    // Runs the dialog; returns IDOK or IDCANCEL (or -1 when it could not be created).
    INT_PTR DoModal();

    bool AskYesNo(const std::u16string& caption, const std::u16string& text) override;
    void EndDialog(int result) override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    INT_PTR OnCommand(WPARAM wParam);
    void OnPaintIconic();
    INT_PTR Result(LONG_PTR result);

    HINSTANCE instance_;
    HICON icon_;
    HWND window_ = nullptr;
    std::unique_ptr<application::MainWindowPresenter> presenter_;
};
