#include "app/main_window_presenter.h"

#include <utility>

#include "app/log_file.h"
#include "messaging/message_codes.h"
#include "messaging/synchronous_exchange.h"
#include "platform/current_directory.h"
#include "platform/window.h"

namespace application {

MainWindowPresenter::MainWindowPresenter(const MainWindowControls& controls,
                                         IMainWindowFrontEnd& frontEnd,
                                         std::shared_ptr<IApplicationObjects> objects)
    : controls_(controls),
      frontEnd_(frontEnd),
      objects_(objects ? std::move(objects) : std::make_shared<DefaultApplicationObjects>()) {}

MainWindowPresenter::~MainWindowPresenter() {
    try {
        // The window is gone by now, so a question the service is still asking can no longer be
        // dispatched: release its thread before the library is let go, or the library would wait
        // for that thread.
        if (!released_) synchronization::messaging::CancelPendingExchanges();
        databases_.reset();
        manager_.reset();
        watchdog_.reset();
        log_.reset();
        sender_.reset();
        listeners_.clear();
    } catch (...) {
    }
}

bool MainWindowPresenter::Initialize() {
    bool initialised = false;
    try {
        sender_ = objects_->CreateMessageSender(controls_.mainWindow);
        if (sender_) {
            log_ = objects_->CreateLog(sender_, controls_.logList);
            if (log_) {
                listeners_.push_back(log_);
                if (auto service =
                        objects_->CreateServiceStateListener(controls_.serviceStateLabel)) {
                    listeners_.push_back(std::move(service));
                }
                if (auto communication = objects_->CreateCommunicationStateListener(
                        controls_.communicationStateLabel, controls_.mainWindow)) {
                    listeners_.push_back(std::move(communication));
                }
                manager_ = objects_->CreateManager();
                if (manager_) {
                    databases_ =
                        objects_->CreateDatabases(manager_, log_, sender_, controls_.mainWindow);
                    if (databases_) {
                        listeners_.push_back(databases_);
                        if (manager_->Initialize(sender_, log_)) {
                            watchdog_ = objects_->CreateWatchdog(log_, sender_);
                            initialised = static_cast<bool>(watchdog_);
                        }
                    }
                }
            }
        }
    } catch (...) {
        initialised = false;
    }
    LogLine(std::string(initialised ? "Initialization passed, application started"
                                    : "Failed to initialize required objects"));
    return initialised;
}

bool MainWindowPresenter::IsBusMessage(std::uint32_t code) {
    return synchronization::messaging::IsSyncMessage(code);
}

application::messaging::DispatchResult MainWindowPresenter::Dispatch(std::uint32_t code,
                                                                     platform::WParam wParam,
                                                                     platform::LParam lParam) {
    return application::messaging::Dispatch(listeners_, code, wParam, lParam);
}

bool MainWindowPresenter::OnCommand(std::uint32_t id) {
    switch (id) {
        case kCommandPause:
            TogglePause();
            return true;
        case kCommandHide:
            Hide();
            return true;
        case kCommandSaveLog:
            SaveLog();
            return true;
        case kCommandShow:
            Show();
            return true;
        case kCommandExit:
            OnCancel();
            return true;
        default:
            return false;
    }
}

void MainWindowPresenter::OnCancel() {
    // The question box runs its own message loop: a second Exit or Esc arriving meanwhile must not
    // open a second question.
    if (asking_ || ended_) return;
    bool yes = false;
    asking_ = true;
    try {
        yes = frontEnd_.AskYesNo(kShutDownCaption, kShutDownQuestion);
    } catch (...) {
        yes = false;
    }
    asking_ = false;
    if (!yes) return;
    Release();
    EndDialogOnce(kDialogResultCancel);
}

void MainWindowPresenter::OnOk() { EndDialogOnce(kDialogResultOk); }

void MainWindowPresenter::OnSessionEnd() {
    Release();
    EndDialogOnce(kDialogResultCancel);
}

void MainWindowPresenter::Release() {
    if (released_) return;
    released_ = true;
    try {
        listeners_.clear();
        // A write-lock question of the service may still wait for the user-interface thread (its
        // message queued behind this shut-down). Answer it "not ready" now: releasing the manager
        // lets the library go, and a library may wait for its own threads when it is let go.
        synchronization::messaging::CancelPendingExchanges();
        manager_.reset();
        databases_.reset();
        watchdog_.reset();
        log_.reset();
        sender_.reset();
    } catch (...) {
    }
}

void MainWindowPresenter::EndDialogOnce(int result) {
    if (ended_) return;
    ended_ = true;
    try {
        frontEnd_.EndDialog(result);
    } catch (...) {
    }
}

void MainWindowPresenter::OnMinimize(bool chosenWithMouse) {
    if (chosenWithMouse) {
        Hide();
    } else {
        platform::SetForegroundWindow(controls_.mainWindow);
    }
}

bool MainWindowPresenter::HandleCopyData(platform::WindowHandle sendingWindow,
                                         const platform::CopyDataRecord* record, int& result) {
    result = 0;
    if (!databases_) return false;
    try {
        result = databases_->HandleCopyData(sendingWindow, record);
    } catch (...) {
        result = 0;
    }
    return true;
}

void MainWindowPresenter::Hide() {
    platform::ShowWindow(controls_.mainWindow, platform::ShowCommand::Hide);
}

void MainWindowPresenter::Show() {
    platform::ShowWindow(controls_.mainWindow, platform::ShowCommand::Restore);
}

bool MainWindowPresenter::SaveLog() {
    bool saved = false;
    std::u16string path;
    try {
        std::u16string directory;
        // A directory that does not fit the buffer cannot be named, so the save fails rather than
        // writing somewhere else.
        if (platform::GetCurrentDirectory(kCurrentDirectoryBufferChars, directory)) {
            path = directory + platform::PathSeparator() + kLogFileName;
            saved = WriteLogFile(path);
        }
    } catch (...) {
        saved = false;
    }
    if (saved) {
        LogLine(u"Log written to " + path);
    } else {
        LogLine(std::string("An error occurred, could not write to log file."));
    }
    return saved;
}

bool MainWindowPresenter::WriteLogFile(const std::u16string& path) {
    LogFile file;
    if (!file.Open(path)) return false;
    if (!platform::IsWindow(controls_.logList)) {
        file.Close();
        return false;
    }
    const int count = platform::ListGetCount(controls_.logList);
    if (count <= 0) {
        file.Close();
        return false;
    }
    // An empty line separates this save from the previous one.
    bool written = file.WriteLine(u"");
    for (int index = 0; written && index < count; ++index) {
        written = file.WriteLine(platform::ListGetText(controls_.logList, index));
    }
    const bool closed = file.Close();
    return written && closed;
}

void MainWindowPresenter::TogglePause() {
    paused_ = !paused_;
    platform::SetWindowTextWide(controls_.pauseButton, paused_ ? u"Resume" : u"Pause");
    if (!manager_) return;
    try {
        manager_->PauseSynchronization(std::string(), paused_);
    } catch (...) {
    }
}

void MainWindowPresenter::LogLine(const std::string& text) {
    if (!log_) return;
    try {
        log_->Log(text);
    } catch (...) {
    }
}

void MainWindowPresenter::LogLine(const std::u16string& text) {
    if (!log_) return;
    try {
        log_->Log(text);
    } catch (...) {
    }
}

}  // namespace application
