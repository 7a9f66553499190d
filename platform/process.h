#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The identifiers of the running processes. Windows: EnumProcesses into a buffer of
// initialEntries identifiers, doubled and listed again while the system fills it. Console build:
// the numeric entries of /proc (and, first, the ended programs of StartProgram are collected so
// that none lingers as a zombie). False when the list cannot be read.
bool ListProcessIds(std::vector<std::uint32_t>& ids, std::size_t initialEntries = 1024);

// The path of a process's program image: Windows OpenProcess(0x0410) and
// GetProcessImageFileNameW into a zero-filled buffer of 1024 units (device form,
// "\Device\HarddiskVolume2\...\x.exe"); console build: the target of /proc/<pid>/exe. False when
// the process cannot be opened or the path is empty.
bool GetProcessImagePath(std::uint32_t pid, std::u16string& path);

// Starts a program with no window and does not wait for it to end.
// commandLine is the whole command line: the program path in double quotes, then the arguments.
// Windows: CreateProcessW(programPath, commandLine, ..., CREATE_NO_WINDOW, ..., workingDirectory)
// and then WaitForInputIdle for at most idleWaitMs. Console build: posix_spawn of programPath with
// argv[0] = programPath and the text after the quoted path split on blanks, in workingDirectory.
// pid, when given, receives the process identifier. False when the program could not be started.
bool StartProgram(const std::u16string& programPath, const std::u16string& commandLine,
                  const std::u16string& workingDirectory, std::uint32_t idleWaitMs,
                  std::uint32_t* pid = nullptr);

// Collects the programs started by StartProgram that have ended (console build); nothing to do on
// Windows, where no zombie exists.
void ReapEndedPrograms();

// Ends a process forcibly and waits at most waitMs for it to be gone. For tests and tools that
// clean up after themselves; the program never kills anything.
bool KillProcess(std::uint32_t pid, std::uint32_t waitMs);

// The identifier of the calling process.
std::uint32_t CurrentProcessId();

}  // namespace platform
