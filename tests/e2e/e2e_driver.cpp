// Drives SundraSynchronizer.exe as a user and the desktop would: starts it with the substitute
// library and service program configured, reads its window, uses its tray icon and its Exit
// question, and checks what it leaves behind. Started on the same virtual desktop as the program
// (wine explorer /desktop=...), so that it sees the program's windows.
//
// e2e_driver.exe <SundraSynchronizer.exe> <sundra_synclib.dll> <work folder>
// The work folder holds syncservice.exe (the "App" value), the scenarios and, for the screenshots,
// request files that the runner answers. The last line of the output is "E2E PASS" or "E2E FAIL".

#include <windows.h>
// shellapi.h and psapi.h need windows.h before them.
#include <psapi.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

namespace {

int failures = 0;

void Check(bool condition, const char* what) {
    std::printf("%s %s\n", condition ? "ok  " : "FAIL", what);
    std::fflush(stdout);
    if (!condition) ++failures;
}

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Polls until done() or the bound has passed; every wait of this driver is bounded.
bool WaitUntil(const std::function<bool()>& done, int boundMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(boundMs);
    while (Clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

std::wstring Text(HWND window) {
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return buffer;
}

std::wstring ClassOf(HWND window) {
    wchar_t buffer[128] = {};
    GetClassNameW(window, buffer, 128);
    return buffer;
}

std::string FileText(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileText(const std::wstring& path, const std::string& text) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

int CountProcesses(const std::wstring& imageName) {
    DWORD ids[4096];
    DWORD bytes = 0;
    if (!EnumProcesses(ids, sizeof(ids), &bytes)) return -1;
    int count = 0;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        HANDLE process = OpenProcess(0x0410, FALSE, ids[i]);
        if (!process) continue;
        wchar_t path[MAX_PATH * 2] = {};
        const DWORD length = GetProcessImageFileNameW(process, path, MAX_PATH * 2);
        CloseHandle(process);
        const std::wstring image(path, length);
        const auto slash = image.find_last_of(L"\\/");
        if ((slash == std::wstring::npos ? image : image.substr(slash + 1)) == imageName) ++count;
    }
    return count;
}

// Asks the runner for a screenshot of the X display and waits (bounded) until it was taken.
void Screenshot(const std::wstring& work, const std::wstring& name) {
    const std::wstring request = work + L"\\shot-" + name + L".req";
    const std::wstring done = work + L"\\shot-" + name + L".done";
    WriteFileText(request, "");
    const bool taken = WaitUntil(
        [&] { return GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
    std::printf("screenshot %ls %s\n", name.c_str(), taken ? "taken" : "not taken");
}

bool SetRegistryString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

bool Configure(const std::wstring& library, const std::wstring& work) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\R-Iri\\Synchronization", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const bool set = SetRegistryString(key, L"ExtCommunication", library) &&
                     SetRegistryString(key, L"App", work + L"\\syncservice.exe") &&
                     SetRegistryString(key, L"Path", work);
    RegCloseKey(key);
    return set;
}

struct Program {
    PROCESS_INFORMATION info{};
    HWND main = nullptr;
};

bool Start(Program& program, const std::wstring& exe, const std::wstring& work,
           const std::wstring& scenario, const std::wstring& journal) {
    SetEnvironmentVariableW(L"SUNDRA_SYNCLIB_SCENARIO", (work + L"\\" + scenario).c_str());
    SetEnvironmentVariableW(L"SUNDRA_SYNCLIB_JOURNAL", (work + L"\\" + journal).c_str());
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        work.c_str(), &startup, &program.info)) {
        return false;
    }
    WaitUntil(
        [&] {
            program.main = FindWindowW(nullptr, L"Sundra Synchronizer");
            return program.main != nullptr;
        },
        20000);
    return program.main != nullptr;
}

bool Ended(const Program& program, int boundMs) {
    return WaitForSingleObject(program.info.hProcess, static_cast<DWORD>(boundMs)) == WAIT_OBJECT_0;
}

void Kill(Program& program) {
    if (program.info.hProcess) {
        if (!Ended(program, 0)) TerminateProcess(program.info.hProcess, 1);
        CloseHandle(program.info.hProcess);
        CloseHandle(program.info.hThread);
    }
    program = Program{};
}

// The "WARNING" question of the program, null when it is not (yet) open.
HWND FindQuestion(int boundMs) {
    HWND box = nullptr;
    WaitUntil(
        [&] {
            box = FindWindowW(L"#32770", L"WARNING");
            return box != nullptr;
        },
        boundMs);
    return box;
}

HWND TrayWindow(DWORD processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && ClassOf(window) == L"SundraSynchronizerTrayIcon") {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Whether the notification area knows the icon (id 130 of that window): a modification without
// changes succeeds only for an icon that is there.
bool IconPresent(HWND trayWindow) {
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof(record);
    record.hWnd = trayWindow;
    record.uID = 130;
    record.uFlags = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

void PressKey(WORD key) {
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = key;
    inputs[1] = inputs[0];
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

// Where the taskbar shows the icon: Wine's taskbar draws the notification area's icons itself,
// right-aligned; ours is the only one, about 20 pixels wide at the right end.
bool IconRect(RECT& rect) {
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!taskbar || !GetWindowRect(taskbar, &rect)) return false;
    rect.left = rect.right - 22;
    rect.right -= 2;
    return rect.bottom - rect.top > 0;
}

void MouseClick(int x, int y, DWORD down, DWORD up) {
    SetCursorPos(x, y);
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = down;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = up;
    SendInput(2, inputs, sizeof(INPUT));
}

// A real right click on the icon in the taskbar, where the desktop offers one.
void RealRightClickOnIcon(HWND main, const std::wstring& work) {
    RECT icon{};
    if (!IconRect(icon)) {
        std::printf("real right click: no taskbar found, not tried\n");
        return;
    }
    MouseClick((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2, MOUSEEVENTF_RIGHTDOWN,
               MOUSEEVENTF_RIGHTUP);
    HWND menu = nullptr;
    WaitUntil(
        [&] {
            menu = FindWindowW(L"#32768", nullptr);
            return menu && IsWindowVisible(menu);
        },
        5000);
    Check(menu != nullptr, "a real right click on the icon opens the menu");
    if (!menu) return;
    Screenshot(work, L"tray-menu-real");
    PressKey('S');
    Check(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 5000),
          "its Show brings the window back");
}

void CaseWindowTrayAndExit(const std::wstring& exe, const std::wstring& work) {
    std::printf("--- case: window, tray icon, Save Log, Exit No / Yes\n");
    WriteFileText(work + L"\\scenario-main.txt",
                  "autoanswer on\nwait 1500\nconnect\nmessage e2e service up\n");
    DeleteFileW((work + L"\\journal-main.txt").c_str());
    DeleteFileW((work + L"\\sundra_sync_log.txt").c_str());
    Program program;
    const auto started = Clock::now();
    Check(Start(program, exe, work, L"scenario-main.txt", L"journal-main.txt"),
          "the main window \"Sundra Synchronizer\" appears");
    if (!program.main) {
        Kill(program);
        return;
    }
    HWND main = program.main;
    Check(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 10000),
          "the window becomes visible after its initialisation");
    std::printf("window visible after %.2f s\n", SecondsSince(started));

    // The dialog's layout: controls by id, their classes, texts and visibility.
    struct Control {
        int id;
        const wchar_t* className;
        const wchar_t* text;  // null: not compared
        bool visible;
    };
    const Control controls[] = {
        {1004, L"Button", L"&Hide", true},   {1000, L"ListBox", nullptr, true},
        {1001, L"Static", nullptr, true},    {1002, L"Static", nullptr, true},
        {1003, L"Button", L"&Pause", false}, {1009, L"Button", L"Save Log", true},
    };
    for (const auto& c : controls) {
        HWND control = GetDlgItem(main, c.id);
        const bool ok = control && _wcsicmp(ClassOf(control).c_str(), c.className) == 0 &&
                        (!c.text || Text(control) == c.text) &&
                        (IsWindowVisible(control) != FALSE) == c.visible;
        char what[128];
        std::snprintf(what, sizeof(what), "control %d: %ls, %ls, %s", c.id, c.className,
                      c.text ? c.text : L"(any text)", c.visible ? "visible" : "hidden");
        Check(ok, what);
    }
    bool serviceLabel = false, communicationLabel = false;
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (Text(child) == L"Synchronization service state: ") serviceLabel = true;
        if (Text(child) == L"Communication with synchronization service state: ") {
            communicationLabel = true;
        }
    }
    Check(serviceLabel && communicationLabel, "the two captions of the state labels");
    Check((GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0 &&
              (GetWindowLongW(main, GWL_STYLE) & WS_MINIMIZEBOX) != 0,
          "application window with a minimise box");
    Screenshot(work, L"started");

    // The connection comes up (after 1.5 s): the window hides itself.
    const auto connecting = Clock::now();
    Check(WaitUntil([&] { return !IsWindowVisible(main); }, 15000),
          "the window hides when the connection comes up");
    std::printf("hidden %.2f s after the window appeared\n", SecondsSince(connecting));
    Check(Text(GetDlgItem(main, 1002)) == L"Connected", "communication label reads Connected");
    Check(WaitUntil([&] { return CountProcesses(L"syncservice.exe") == 1; }, 15000),
          "the watchdog started the service program");

    // Show as the tray menu sends it.
    PostMessageW(main, WM_COMMAND, 32771, 0);
    Check(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 5000),
          "Show (WM_COMMAND 32771) brings the window back");
    PostMessageW(main, WM_COMMAND, 1004, 0);
    Check(WaitUntil([&] { return !IsWindowVisible(main); }, 5000), "Hide hides it");

    // The tray icon itself: a double click (its release) shows, a right click opens the menu.
    HWND tray = TrayWindow(program.info.dwProcessId);
    Check(tray != nullptr, "the tray icon's callback window exists");
    Check(tray && IconPresent(tray), "the notification area holds the icon");
    const UINT callback = RegisterWindowMessageW(L"CTrayIcon");
    if (tray) {
        PostMessageW(tray, callback, 130, WM_LBUTTONUP);  // a single click does nothing
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Check(!IsWindowVisible(main), "a single click on the icon leaves the window hidden");
        PostMessageW(tray, callback, 130, WM_LBUTTONDBLCLK);
        PostMessageW(tray, callback, 130, WM_LBUTTONUP);
        Check(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 5000),
              "a double click on the icon shows the window");
        PostMessageW(main, WM_COMMAND, 1004, 0);
        WaitUntil([&] { return !IsWindowVisible(main); }, 5000);

        PostMessageW(tray, callback, 130, WM_RBUTTONUP);
        HWND menu = nullptr;
        WaitUntil(
            [&] {
                menu = FindWindowW(L"#32768", nullptr);
                return menu && IsWindowVisible(menu);
            },
            5000);
        Check(menu != nullptr, "a right click opens the tray menu");
        if (menu) {
            Screenshot(work, L"tray-menu");
            PressKey('S');  // &Show
            if (!WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 3000)) {
                PressKey(VK_RETURN);  // the default item, should the mnemonic not reach the menu
            }
            Check(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 5000),
                  "the menu's Show brings the window back");
        }
    }
    PostMessageW(main, WM_COMMAND, 1004, 0);
    WaitUntil([&] { return !IsWindowVisible(main); }, 5000);
    RealRightClickOnIcon(main, work);
    ShowWindow(main, SW_SHOW);  // whatever happened above, the next steps want it on screen

    // Minimise chosen with the mouse hides the window instead of minimising it.
    SendMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, MAKELPARAM(10, 10));
    Check(!IsWindowVisible(main) && !IsIconic(main),
          "minimise with the mouse hides, not minimises");
    PostMessageW(main, WM_COMMAND, 32771, 0);
    WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 5000);

    // Save Log into the program's current directory (the work folder).
    SendMessageW(GetDlgItem(main, 1009), BM_CLICK, 0, 0);
    const std::string saved = FileText(work + L"\\sundra_sync_log.txt");
    Check(saved.size() > 2 && saved.compare(0, 2, "\r\n") == 0 &&
              saved.find("Initialization passed, application started\r\n") != std::string::npos,
          "Save Log writes the list with CR LF after an empty line");
    const LRESULT lines = SendMessageW(GetDlgItem(main, 1000), LB_GETCOUNT, 0, 0);
    wchar_t last[512] = {};
    if (lines > 0 && SendMessageW(GetDlgItem(main, 1000), LB_GETTEXTLEN, lines - 1, 0) < 511) {
        SendMessageW(GetDlgItem(main, 1000), LB_GETTEXT, lines - 1, reinterpret_cast<LPARAM>(last));
    }
    Check(std::wstring(last).find(L"Log written to " + work + L"\\sundra_sync_log.txt") !=
              std::wstring::npos,
          "the log shows \"Log written to \" and the path");

    // Exit, No: everything keeps running.
    PostMessageW(main, WM_COMMAND, 32772, 0);
    HWND question = FindQuestion(5000);
    Check(question != nullptr, "Exit asks the \"WARNING\" question");
    if (question) {
        bool textFound = false;
        for (HWND child = GetWindow(question, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            if (Text(child).find(L"Are you sure you want to stop Sundra Synchronizer?") == 0 &&
                Text(child).find(L"This will prevent chart databases from being synchronized!") !=
                    std::wstring::npos) {
                textFound = true;
            }
        }
        Check(textFound, "the question's text");
        Screenshot(work, L"question");
        PostMessageW(question, WM_COMMAND, IDNO, 0);
        Check(WaitUntil([&] { return !IsWindow(question); }, 5000), "No closes the question");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Check(!Ended(program, 0) && IsWindow(main) && IsWindowVisible(main),
          "after No the program and its window run on");
    Check(CountProcesses(L"syncservice.exe") == 1, "after No the service program runs on");
    Check(tray && IconPresent(tray), "after No the icon is still there");

    // Exit, Yes: the program stops the service program, removes its icon and ends.
    PostMessageW(main, WM_COMMAND, 32772, 0);
    question = FindQuestion(5000);
    Check(question != nullptr, "Exit asks again");
    const auto exiting = Clock::now();
    if (question) PostMessageW(question, WM_COMMAND, IDYES, 0);
    Check(Ended(program, 40000), "after Yes the program ends");
    std::printf("ended %.2f s after Yes\n", SecondsSince(exiting));
    Check(WaitUntil([&] { return CountProcesses(L"syncservice.exe") == 0; }, 10000),
          "the service program was stopped");
    Check(FileText(work + L"\\syncservice.journal").find("-stop") != std::string::npos,
          "the service program was run with -stop");
    Check(tray && !IconPresent(tray), "the icon is gone");
    Screenshot(work, L"after-exit");
    Kill(program);
}

void CaseQuestionsInFlight(const std::wstring& exe, const std::wstring& work) {
    std::printf("--- case: Exit while the service asks from several threads\n");
    // Eight threads keep asking write-lock questions until the library is let go.
    WriteFileText(work + L"\\scenario-flight.txt",
                  "connect\nrepeat forever\n"
                  "parallel 8 20 readiness write Duzaduza Databases/Databases\nend\n");
    DeleteFileW((work + L"\\journal-flight.txt").c_str());
    Program program;
    Check(Start(program, exe, work, L"scenario-flight.txt", L"journal-flight.txt"),
          "the program starts");
    if (!program.main) {
        Kill(program);
        return;
    }
    Check(WaitUntil(
              [&] {
                  return FileText(work + L"\\journal-flight.txt")
                             .find("LockReadinessQuery(2) answer=2") != std::string::npos;
              },
              15000),
          "the questions are answered while the program runs");
    DeleteFileW((work + L"\\sundra_sync_log.txt").c_str());
    SendMessageW(GetDlgItem(program.main, 1009), BM_CLICK, 0, 0);
    std::printf("the program's log before Exit:\n%s",
                FileText(work + L"\\sundra_sync_log.txt").c_str());
    PostMessageW(program.main, WM_COMMAND, 32772, 0);
    HWND question = FindQuestion(10000);
    Check(question != nullptr, "Exit asks the question while questions keep coming");
    const auto exiting = Clock::now();
    if (question) PostMessageW(question, WM_COMMAND, IDYES, 0);
    const bool ended = Ended(program, 40000);
    const double seconds = SecondsSince(exiting);
    Check(ended, "after Yes the program ends");
    std::printf("ended %.2f s after Yes with questions in flight\n", seconds);
    const std::string journal = FileText(work + L"\\journal-flight.txt");
    Check(journal.find("close\n") != std::string::npos ||
              journal.find("close\r\n") != std::string::npos,
          "the library closed with all its threads ended (no thread left behind)");
    Check(journal.find("threads-left-behind") == std::string::npos,
          "no library thread was left behind");
    Check(WaitUntil([&] { return CountProcesses(L"syncservice.exe") == 0; }, 10000),
          "the service program was stopped");
    Kill(program);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::printf(
            "usage: e2e_driver <SundraSynchronizer.exe> <synclib.dll> <work folder>\nE2E FAIL\n");
        return 2;
    }
    const std::wstring exe = argv[1];
    const std::wstring library = argv[2];
    const std::wstring work = argv[3];
    Check(Configure(library, work), "registry values written");
    const auto start = Clock::now();
    CaseWindowTrayAndExit(exe, work);
    std::printf("case 1 took %.2f s\n", SecondsSince(start));
    const auto second = Clock::now();
    CaseQuestionsInFlight(exe, work);
    std::printf("case 2 took %.2f s\n", SecondsSince(second));
    std::printf(failures == 0 ? "E2E PASS\n" : "E2E FAIL (%d)\n", failures);
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}
