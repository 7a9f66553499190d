#include "platform/process.h"

#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/text.h"

extern char** environ;

namespace platform {
namespace {

std::mutex& ChildrenMutex() {
    static std::mutex mutex;
    return mutex;
}
std::vector<pid_t>& Children() {
    static std::vector<pid_t> children;
    return children;
}

// Reaps one of our own children if it has ended. True when it is gone (or not ours to wait for).
bool ReapChild(pid_t pid) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    return r == pid || (r < 0 && errno == ECHILD);
}

bool IsChild(pid_t pid) {
    std::lock_guard<std::mutex> lock(ChildrenMutex());
    const auto& c = Children();
    return std::find(c.begin(), c.end(), pid) != c.end();
}

// A process that has ended but is not yet reaped by its parent shows "Z" in /proc/<pid>/stat.
bool IsGoneOrZombie(pid_t pid) {
    const std::string statPath = "/proc/" + std::to_string(pid) + "/stat";
    FILE* f = std::fopen(statPath.c_str(), "r");
    if (!f) return true;
    char buffer[512] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    const std::string stat(buffer, n);
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

}  // namespace

void ReapEndedPrograms() {
    std::lock_guard<std::mutex> lock(ChildrenMutex());
    auto& c = Children();
    c.erase(std::remove_if(c.begin(), c.end(), ReapChild), c.end());
}

bool ListProcessIds(std::vector<std::uint32_t>& ids, std::size_t /*initialEntries*/) {
    ReapEndedPrograms();
    ids.clear();
    DIR* dir = ::opendir("/proc");
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const unsigned long pid = std::strtoul(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0') ids.push_back(static_cast<std::uint32_t>(pid));
    }
    ::closedir(dir);
    return true;
}

bool GetProcessImagePath(std::uint32_t pid, std::u16string& path) {
    path.clear();
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    char buffer[4096];
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return false;
    path = Widen(std::string(buffer, static_cast<std::size_t>(n)));
    return true;
}

bool StartProgram(const std::u16string& programPath, const std::u16string& commandLine,
                  const std::u16string& workingDirectory, std::uint32_t /*idleWaitMs*/,
                  std::uint32_t* pid) {
    const std::string program = Narrow(programPath);
    const std::string line = Narrow(commandLine);
    const std::string directory = Narrow(workingDirectory);
    if (program.empty()) return false;

    // The arguments are what follows the quoted program path, split on blanks.
    std::string rest = line;
    if (!rest.empty() && rest[0] == '"') {
        const auto closing = rest.find('"', 1);
        rest = closing == std::string::npos ? std::string() : rest.substr(closing + 1);
    }
    std::vector<std::string> args{program};
    std::size_t at = 0;
    while (at < rest.size()) {
        const auto blank = rest.find(' ', at);
        const auto piece =
            rest.substr(at, blank == std::string::npos ? std::string::npos : blank - at);
        if (!piece.empty()) args.push_back(piece);
        if (blank == std::string::npos) break;
        at = blank + 1;
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    bool ok =
        directory.empty() || posix_spawn_file_actions_addchdir_np(&actions, directory.c_str()) == 0;
    // A started program stands apart from the console it was started from, as a Windows program
    // started without a window does: its own process group, so a Ctrl-C typed at the console
    // program's terminal does not reach it, and the default handling of the signals that the
    // console program takes over or ignores.
    posix_spawnattr_t attributes;
    const bool haveAttributes = posix_spawnattr_init(&attributes) == 0;
    if (haveAttributes) {
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, signal);
        ok = ok && posix_spawnattr_setpgroup(&attributes, 0) == 0 &&
             posix_spawnattr_setsigdefault(&attributes, &defaults) == 0 &&
             posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF) == 0;
    }
    pid_t child = 0;
    // The lock keeps a concurrent ReapEndedPrograms from missing the new child.
    std::lock_guard<std::mutex> lock(ChildrenMutex());
    if (ok)
        ok = ::posix_spawn(&child, program.c_str(), &actions, haveAttributes ? &attributes : nullptr,
                           argv.data(), environ) == 0;
    if (haveAttributes) posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (!ok) return false;
    Children().push_back(child);
    if (pid) *pid = static_cast<std::uint32_t>(child);
    return true;
}

bool KillProcess(std::uint32_t pid, std::uint32_t waitMs) {
    const pid_t target = static_cast<pid_t>(pid);
    if (target <= 0 || ::kill(target, SIGKILL) != 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (IsChild(target)) {
            ReapEndedPrograms();
            if (!IsChild(target)) return true;
        } else {
            // Another parent's child: gone once it has ended (the zombie no longer runs a program
            // and has no image path).
            if (IsGoneOrZombie(target)) {
                // Our own child that StartProgram did not start (a test's fork): reap it too.
                int status = 0;
                ::waitpid(target, &status, WNOHANG);
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

}  // namespace platform
