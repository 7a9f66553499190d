#include "sim/mapapp/map_app_logic.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace mapapp {

namespace {

bool Number(const char* text, long long& value) {
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && value >= 0;
}

}  // namespace

const char* Usage() {
    return "mapapp [--consent=always|never|delay:MS|ask] [--protect] [--no-answer]\n"
           "       [--exit-after=MS] [--target=WINDOW-or-SOCKET] [--send-timeout=MS]\n";
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        long long n = 0;
        if (arg == "--consent=always") {
            options.policy = ConsentPolicy::Always;
        } else if (arg == "--consent=never") {
            options.policy = ConsentPolicy::Never;
        } else if (arg == "--consent=ask") {
            options.policy = ConsentPolicy::Ask;
        } else if (arg.rfind("--consent=delay:", 0) == 0 && Number(arg.c_str() + 16, n)) {
            options.policy = ConsentPolicy::Delay;
            options.delayMs = static_cast<std::uint32_t>(n);
        } else if (arg == "--protect") {
            options.protect = true;
        } else if (arg == "--no-answer") {
            options.noAnswer = true;
        } else if (arg.rfind("--exit-after=", 0) == 0 && Number(arg.c_str() + 13, n)) {
            options.exitAfterMs = n;
        } else if (arg.rfind("--send-timeout=", 0) == 0 && Number(arg.c_str() + 15, n)) {
            options.sendTimeoutMs = static_cast<std::uint32_t>(n);
        } else if (arg.rfind("--target=", 0) == 0) {
            options.target = arg.substr(9);
        } else {
            error = "unknown argument: " + arg;
            return false;
        }
    }
    return true;
}

MapAppState::MapAppState(const Options& options) : options_(options) {
    block_[12] = options.protect ? 1 : 0;
}

Block MapAppState::Running() const {
    Block b = block_;
    b[10] = 1;
    return b;
}

Block MapAppState::ShuttingDown() const {
    Block b = block_;
    b[10] = 0;
    return b;
}

Reaction MapAppState::OnStatus(const std::uint8_t* bytes) {
    std::memcpy(block_.data(), bytes, 8);
    block_[10] = 1;
    // Byte 6: the synchronization service waits for our consent to write.
    if (bytes[6] == 0 || block_[13] != 0) return Reaction::None;
    switch (options_.policy) {
        case ConsentPolicy::Always:
            SetConsent(true);
            return Reaction::SendNow;
        case ConsentPolicy::Never:
            return Reaction::None;
        case ConsentPolicy::Delay:
            if (delayPending_) return Reaction::None;
            delayPending_ = true;
            return Reaction::StartDelay;
        case ConsentPolicy::Ask:
            return Reaction::AskUser;
    }
    return Reaction::None;
}

void MarkNotAnswering() { std::ofstream("mapapp.not-answering") << "not answering\n"; }

std::string Format(const std::uint8_t* bytes) {
    std::string out;
    char piece[4];
    for (int i = 0; i < 15; ++i) {
        std::snprintf(piece, sizeof piece, i ? " %02X" : "%02X", bytes[i]);
        out += piece;
    }
    return out;
}

}  // namespace mapapp
