#pragma once

// The console program's main window: a window of the console build's registry with the dialog's
// controls, driven by the same presenter as the Windows dialog. What the dialog would show is
// printed (every log line, every label change, the window's visibility); what a user would click
// is read from standard input as commands.

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>

#include "app/main_window_presenter.h"
#include "platform/console.h"
#include "platform/copy_data.h"
#include "platform/window.h"

namespace application::console {

class ConsoleFrontEnd : public IMainWindowFrontEnd {
  public:
    explicit ConsoleFrontEnd(std::ostream& out);
    ~ConsoleFrontEnd() override;
    ConsoleFrontEnd(const ConsoleFrontEnd&) = delete;
    ConsoleFrontEnd& operator=(const ConsoleFrontEnd&) = delete;

    // The whole life of the program; the process's exit code.
    int Run();

    bool AskYesNo(const std::u16string& caption, const std::u16string& text) override;
    void EndDialog(int result) override;

  private:
    bool CreateWindows();
    void DestroyWindows();
    void OnWindowChange(const platform::WindowNotification& notification);
    // One turn of the user-interface loop's waiting: posted messages and map applications' blocks.
    void Serve(std::uint32_t waitMs);
    void HandleEvent(const platform::ConsoleEvent& event);
    void HandleCommand(const std::string& line);
    void Print(const std::string& line);

    std::ostream& out_;
    std::mutex outMutex_;
    platform::ConsoleInput input_;
    platform::CopyDataServer mapApps_;
    MainWindowControls controls_;
    std::unique_ptr<MainWindowPresenter> presenter_;
    bool ended_ = false;
    int result_ = 0;
    bool terminateRequested_ = false;
    // The labels' texts as last printed; both start as the dialog shows them.
    std::string shownServiceState_ = "Unknown";
    std::string shownCommunicationState_ = "Unknown";
};

// A command line as the user typed it: blanks around and between words do not count, nor the case
// of letters.
std::string NormalizeCommand(const std::string& line);

}  // namespace application::console
