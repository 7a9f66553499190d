#include "platform/process.h"

#include <windows.h>
// psapi.h needs the types of windows.h.
#include <psapi.h>

namespace platform {
namespace {

const wchar_t* W(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

bool ListProcessIds(std::vector<std::uint32_t>& ids, std::size_t initialEntries) {
    std::vector<DWORD> buffer(initialEntries ? initialEntries : 1024);
    DWORD bytes = 0;
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
        if (!::EnumProcesses(buffer.data(), size, &bytes)) return false;
        // A full buffer may have cut the list short: list again in one twice as large.
        if (bytes != size) break;
        buffer.resize(buffer.size() * 2);
    }
    ids.assign(buffer.begin(), buffer.begin() + bytes / sizeof(DWORD));
    return true;
}

bool GetProcessImagePath(std::uint32_t pid, std::u16string& path) {
    path.clear();
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr) return false;
    wchar_t buffer[1024] = {};
    const DWORD length = ::GetProcessImageFileNameW(process, buffer, 1024);
    ::CloseHandle(process);
    if (length == 0 || buffer[0] == L'\0') return false;
    path.assign(reinterpret_cast<const char16_t*>(buffer), length);
    return true;
}

bool StartProgram(const std::u16string& programPath, const std::u16string& commandLine,
                  const std::u16string& workingDirectory, std::uint32_t idleWaitMs,
                  std::uint32_t* pid) {
    // CreateProcessW may write into the command line: it gets a copy of its own.
    std::u16string line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(W(programPath), reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr,
                          FALSE, CREATE_NO_WINDOW, nullptr,
                          workingDirectory.empty() ? nullptr : W(workingDirectory), &startup,
                          &info)) {
        return false;
    }
    // A console program never becomes input-idle (Wine answers at once with a failure); the wait
    // is bounded so that a program that never gets there cannot hold the caller.
    ::WaitForInputIdle(info.hProcess, idleWaitMs);
    if (pid) *pid = info.dwProcessId;
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return true;
}

void ReapEndedPrograms() {}

bool KillProcess(std::uint32_t pid, std::uint32_t waitMs) {
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) return false;
    const bool ok = ::TerminateProcess(process, 1) != FALSE &&
                    ::WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ok;
}

std::uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

}  // namespace platform
