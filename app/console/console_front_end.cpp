#include "app/console/console_front_end.h"

#include <cctype>
#include <ostream>
#include <sstream>

#include "platform/text.h"

namespace application::console {

namespace {

// The user-interface loop waits this long for a posted message before it looks at the map
// applications and the terminal again; signals and typed commands are taken within it.
constexpr std::uint32_t kServeWaitMs = 10;

const char* const kCommandHelp =
    "Commands: show, hide, save log, pause, exit (asks first), help";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string NormalizeCommand(const std::string& line) {
    std::istringstream words(Lower(line));
    std::string word;
    std::string result;
    while (words >> word) {
        if (!result.empty()) result += ' ';
        result += word;
    }
    return result;
}

ConsoleFrontEnd::ConsoleFrontEnd(std::ostream& out) : out_(out) {}

ConsoleFrontEnd::~ConsoleFrontEnd() {
    presenter_.reset();
    DestroyWindows();
}

void ConsoleFrontEnd::Print(const std::string& line) {
    std::lock_guard<std::mutex> lock(outMutex_);
    out_ << line << std::endl;
}

bool ConsoleFrontEnd::CreateWindows() {
    controls_.mainWindow = platform::CreateTopLevelWindow(
        u"Sundra Synchronizer",
        [this](std::uint32_t code, platform::WParam wParam, platform::LParam lParam) {
            if (!presenter_ || !MainWindowPresenter::IsBusMessage(code)) return false;
            presenter_->Dispatch(code, wParam, lParam);
            return true;
        });
    if (controls_.mainWindow == 0) return false;
    using platform::WindowKind;
    controls_.logList = platform::CreateChildWindow(controls_.mainWindow, WindowKind::List, u"");
    controls_.serviceStateLabel =
        platform::CreateChildWindow(controls_.mainWindow, WindowKind::Label, u"Unknown");
    controls_.communicationStateLabel =
        platform::CreateChildWindow(controls_.mainWindow, WindowKind::Label, u"Unknown");
    controls_.pauseButton =
        platform::CreateChildWindow(controls_.mainWindow, WindowKind::Button, u"&Pause");
    // No part of the program shows the Pause button; its command arrives only as "pause".
    platform::ShowWindow(controls_.pauseButton, platform::ShowCommand::Hide);
    return true;
}

void ConsoleFrontEnd::DestroyWindows() {
    if (controls_.mainWindow != 0) {
        platform::DestroyWindow(controls_.mainWindow);
        controls_ = MainWindowControls{};
    }
}

void ConsoleFrontEnd::OnWindowChange(const platform::WindowNotification& notification) {
    using platform::WindowChange;
    const std::string text = platform::ToConsoleText(notification.text);
    switch (notification.change) {
        case WindowChange::ListLineAdded:
            if (notification.window == controls_.logList) Print(text);
            break;
        case WindowChange::Text:
            // The listeners write their label at every report; a label that shows the same text
            // again has not changed for the user.
            if (notification.window == controls_.serviceStateLabel) {
                if (text != shownServiceState_) Print("Synchronization service state: " + text);
                shownServiceState_ = text;
            } else if (notification.window == controls_.communicationStateLabel) {
                if (text != shownCommunicationState_) {
                    Print("Communication with synchronization service state: " + text);
                }
                shownCommunicationState_ = text;
            } else if (notification.window == controls_.pauseButton) {
                Print("Pause button: " + text);
            }
            break;
        case WindowChange::Visibility:
            if (notification.window == controls_.mainWindow) {
                Print(notification.visible ? "Window: shown" : "Window: hidden");
            }
            break;
        case WindowChange::ListLineDeleted:
        case WindowChange::Destroyed:
            break;
    }
}

void ConsoleFrontEnd::Serve(std::uint32_t waitMs) {
    platform::PumpMessages(controls_.mainWindow, waitMs);
    mapApps_.Poll(0);
}

int ConsoleFrontEnd::Run() {
    if (!CreateWindows()) {
        Print("The main window could not be created");
        return 1;
    }
    platform::SetWindowObserver(
        [this](const platform::WindowNotification& notification) { OnWindowChange(notification); });
    if (!input_.Open()) {
        Print("Signals could not be taken over; stop the program with the exit command");
    }
    presenter_ = std::make_unique<MainWindowPresenter>(controls_, *this);
    presenter_->Initialize();
    if (!mapApps_.Listen("", [this](platform::WindowHandle from,
                                    const platform::CopyDataRecord& record) -> std::intptr_t {
            int result = 0;
            // Without a coordinator the block gets default processing, which answers 0.
            if (!presenter_ || !presenter_->HandleCopyData(from, &record, result)) return 0;
            return result;
        })) {
        Print("Map applications cannot connect: the socket " + platform::DefaultCopyDataSocketPath() +
              " could not be opened (is another copy running?)");
    }
    // The dialog becomes visible once its initialisation has returned, and only then is the
    // first posted message dispatched.
    platform::ShowWindow(controls_.mainWindow, platform::ShowCommand::Show);
    Print(kCommandHelp);

    while (!ended_) {
        Serve(kServeWaitMs);
        if (ended_) break;
        HandleEvent(input_.Next(0));
        if (terminateRequested_ && !ended_) presenter_->OnSessionEnd();
    }

    mapApps_.Close();
    presenter_.reset();
    platform::SetWindowObserver({});
    DestroyWindows();
    input_.Close();
    return 0;
}

void ConsoleFrontEnd::HandleEvent(const platform::ConsoleEvent& event) {
    using Kind = platform::ConsoleEvent::Kind;
    switch (event.kind) {
        case Kind::None:
            break;
        case Kind::Line:
            HandleCommand(event.line);
            break;
        case Kind::EndOfInput:
            // A resident program: without a terminal it runs on until it is told to stop.
            Print("Standard input has ended; the program runs on until it receives SIGTERM");
            break;
        case Kind::Terminate:
            terminateRequested_ = true;
            break;
        case Kind::Interrupt:
            // Somebody at a terminal can answer the question; without one, Ctrl-C means stop.
            if (platform::ConsoleInput::InputIsTerminal()) {
                presenter_->OnCommand(kCommandExit);
            } else {
                terminateRequested_ = true;
            }
            break;
    }
}

void ConsoleFrontEnd::HandleCommand(const std::string& line) {
    const std::string command = NormalizeCommand(line);
    if (command.empty()) return;
    if (command == "show") {
        presenter_->OnCommand(kCommandShow);
    } else if (command == "hide") {
        presenter_->OnCommand(kCommandHide);
    } else if (command == "save log") {
        presenter_->OnCommand(kCommandSaveLog);
    } else if (command == "pause") {
        presenter_->OnCommand(kCommandPause);
    } else if (command == "exit") {
        presenter_->OnCommand(kCommandExit);
    } else if (command == "help") {
        Print(kCommandHelp);
    } else {
        Print("Unknown command: " + line + " (" + kCommandHelp + ")");
    }
}

bool ConsoleFrontEnd::AskYesNo(const std::u16string& caption, const std::u16string& text) {
    Print(platform::ToConsoleText(caption));
    Print(platform::ToConsoleText(text));
    Print("[y/n]?");
    using Kind = platform::ConsoleEvent::Kind;
    // As a message box does, the window goes on handling its messages while the user thinks.
    for (;;) {
        Serve(kServeWaitMs);
        const platform::ConsoleEvent event = input_.Next(0);
        switch (event.kind) {
            case Kind::None:
                break;
            case Kind::Line: {
                const std::string answer = NormalizeCommand(event.line);
                if (answer == "y" || answer == "yes") return true;
                if (answer == "n" || answer == "no") return false;
                Print("Please answer y or n");
                break;
            }
            case Kind::EndOfInput:
                // Nobody is left to answer: No keeps everything running.
                Print("Standard input has ended; taken as n");
                return false;
            case Kind::Interrupt:
                // Ctrl-C at the question closes it, as the Esc key closes a message box.
                Print("Interrupted; taken as n");
                return false;
            case Kind::Terminate:
                // Stop without a question once this one is closed.
                terminateRequested_ = true;
                return false;
        }
    }
}

void ConsoleFrontEnd::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

}  // namespace application::console
