#pragma once

// Application presenter: everything the main window decides - the wiring of the program's
// objects at start-up, the confirmed shut-down, the bus dispatch, and the window's commands
// (Hide, Show, minimise, copy data, Save Log, Pause). A front end (the Win32 dialog, the console
// program) owns the real window and its controls and calls in here from its user-interface
// thread; it supplies only what it alone can do through IMainWindowFrontEnd.
//
// How a front end drives it:
//   1. Create the window and its controls, then the presenter with their handles.
//   2. Initialize() once (the dialog's initialisation).
//   3. For every message: IsBusMessage(code) -> Dispatch(code, wParam, lParam) first; then the
//      commands: OnCommand(id) for 1003/1004/1009/32771/32772, OnCancel() for the cancel command
//      (Esc, close button), OnOk() for the OK command, OnMinimize(withMouse) for SC_MINIMIZE,
//      HandleCopyData() for WM_COPYDATA, OnSessionEnd() when the user's session ends.
//   4. When the presenter calls IMainWindowFrontEnd::EndDialog, end the modal loop; destroy the
//      presenter after the loop (its destructor releases what is left, in the OK command's order).

#include <cstdint>
#include <memory>
#include <string>

#include "app/application_objects.h"
#include "messaging/message_dispatch.h"
#include "platform/copy_data.h"
#include "platform/types.h"

namespace application {

// Command identifiers of the main window and its tray menu.
inline constexpr std::uint32_t kCommandPause = 1003;
inline constexpr std::uint32_t kCommandHide = 1004;
inline constexpr std::uint32_t kCommandSaveLog = 1009;
inline constexpr std::uint32_t kCommandShow = 32771;
inline constexpr std::uint32_t kCommandExit = 32772;

// Results with which the dialog ends (IDOK, IDCANCEL).
inline constexpr int kDialogResultOk = 1;
inline constexpr int kDialogResultCancel = 2;

// Save Log reads the current directory into a buffer of this many characters.
inline constexpr std::size_t kCurrentDirectoryBufferChars = 260;

inline constexpr const char16_t* kLogFileName = u"sundra_sync_log.txt";
inline constexpr const char16_t* kShutDownCaption = u"WARNING";
inline constexpr const char16_t* kShutDownQuestion =
    u"Are you sure you want to stop Sundra Synchronizer?\n"
    u"This will prevent chart databases from being synchronized!";

// The window handles the presenter works on; 0 where a control does not exist.
struct MainWindowControls {
    platform::WindowHandle mainWindow = 0;
    platform::WindowHandle logList = 0;                  // 1000
    platform::WindowHandle serviceStateLabel = 0;        // 1001
    platform::WindowHandle communicationStateLabel = 0;  // 1002
    platform::WindowHandle pauseButton = 0;              // 1003
};

// What only the front end can do. Called on the user-interface thread.
class IMainWindowFrontEnd {
  public:
    virtual ~IMainWindowFrontEnd() = default;
    // A Yes/No question owned by the main window; true for Yes. The front end keeps handling the
    // window's messages while it waits for the answer.
    virtual bool AskYesNo(const std::u16string& caption, const std::u16string& text) = 0;
    // Ends the main window's modal loop with kDialogResultOk or kDialogResultCancel.
    virtual void EndDialog(int result) = 0;
};

class MainWindowPresenter {
  public:
    // objects null: the real components (DefaultApplicationObjects).
    MainWindowPresenter(const MainWindowControls& controls, IMainWindowFrontEnd& frontEnd,
                        std::shared_ptr<IApplicationObjects> objects = nullptr);
    // Releases what is still held: databases, manager, watchdog, log, sender, then the listener
    // list (the OK command's road; after a confirmed shut-down everything is already gone).
    ~MainWindowPresenter();
    MainWindowPresenter(const MainWindowPresenter&) = delete;
    MainWindowPresenter& operator=(const MainWindowPresenter&) = delete;

    // The wiring; true when every object was created and the manager initialised. Logs
    // "Initialization passed, application started" or "Failed to initialize required objects".
    bool Initialize();

    // The bus: codes 1224..1238 go to every listener in registration order.
    static bool IsBusMessage(std::uint32_t code);
    application::messaging::DispatchResult Dispatch(std::uint32_t code, platform::WParam wParam,
                                                    platform::LParam lParam);

    // 1003 Pause, 1004 Hide, 1009 Save Log, 32771 Show, 32772 Exit; false for other ids.
    bool OnCommand(std::uint32_t id);
    // The cancel command: asks, and on Yes releases everything and ends the dialog.
    void OnCancel();
    // The OK command: ends the dialog at once; the destructor releases.
    void OnOk();
    // The user's session ends (or the console program is told to stop): the same orderly
    // release as a confirmed shut-down, without the question, then the dialog ends.
    void OnSessionEnd();
    // SC_MINIMIZE: chosen with the mouse hides the window, otherwise brings it to the front.
    void OnMinimize(bool chosenWithMouse);
    // WM_COPYDATA: false when there is no coordinator (default processing); otherwise result is
    // what the coordinator answered.
    bool HandleCopyData(platform::WindowHandle sendingWindow,
                        const platform::CopyDataRecord* record, int& result);

    void Hide();
    void Show();
    bool SaveLog();
    void TogglePause();

    // What tests and front ends may look at.
    bool Paused() const { return paused_; }
    bool Released() const { return released_; }
    const application::messaging::ListenerList& Listeners() const { return listeners_; }
    const LogPointer& Log() const { return log_; }
    const ManagerPointer& Manager() const { return manager_; }
    const DatabasesPointer& Databases() const { return databases_; }
    const WatchdogPointer& Watchdog() const { return watchdog_; }
    const SenderPointer& Sender() const { return sender_; }

  private:
    void Release();
    void EndDialogOnce(int result);
    void LogLine(const std::string& text);
    void LogLine(const std::u16string& text);
    bool WriteLogFile(const std::u16string& path);

    const MainWindowControls controls_;
    IMainWindowFrontEnd& frontEnd_;
    std::shared_ptr<IApplicationObjects> objects_;

    // Declaration order as the dialog keeps them.
    application::messaging::ListenerList listeners_;
    SenderPointer sender_;
    LogPointer log_;
    WatchdogPointer watchdog_;
    ManagerPointer manager_;
    DatabasesPointer databases_;
    bool paused_ = false;

    bool asking_ = false;    // the shut-down question is open
    bool released_ = false;  // the orderly release has run
    bool ended_ = false;     // the dialog was told to end
};

}  // namespace application
