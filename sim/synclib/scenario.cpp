#include "sim/synclib/scenario.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace sundra::synclib {

namespace {

const char kDefaultScenario[] =
    R"(# The demo's update cycle: the service connects, and about every 20 s it asks whether it may
# write an update into the chart databases, takes the write lock when the program is ready,
# holds it a few seconds and releases it.
autoanswer on
wait 500
connect
message Synchronization service started (simulated)
repeat forever
    wait 20000
    message Update available for Duzaduza Databases
    readiness write Duzaduza Databases/Databases
    ifanswer 2 request write Duzaduza Databases/Databases
    ifanswer 2 message Writing update into Duzaduza Databases
    ifanswer 2 wait 4000
    ifanswer 2 release write Duzaduza Databases/Databases
    message Update cycle finished
end
)";

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    while (begin < text.size() && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    std::size_t end = text.size();
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

// Splits "keyword rest" at the first run of blanks.
void SplitFirst(const std::string& text, std::string& first, std::string& rest) {
    std::size_t i = 0;
    while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    first = text.substr(0, i);
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    rest = text.substr(i);
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    std::string word;
    while (in >> word) out.push_back(word);
    return out;
}

bool ParseNumber(const std::string& text, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return end && *end == '\0';
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsKind(const std::string& word) {
    static const char* const kinds[] = {"check", "lock", "unlock", "pause", "any"};
    for (const char* kind : kinds) {
        if (word == kind) return true;
    }
    long long number = 0;
    return ParseNumber(word, number);
}

// Parses one command (not "repeat"/"end") from a line's text; false with error set otherwise.
bool ParseCommand(const std::string& text, int line, Step& step, std::string& error) {
    std::string keyword;
    SplitFirst(text, keyword, step.rest);
    step.command = Lower(keyword);
    step.line = line;
    step.words = Words(step.rest);
    const auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(line) + ": " + why;
        return false;
    };
    const auto& c = step.command;
    const auto& w = step.words;
    long long number = 0;
    if (c == "connect" || c == "disconnect") {
        return w.empty() ? true : fail(c + " takes no argument");
    }
    if (c == "checkresult") {
        return w.size() == 1 && ParseNumber(w[0], number) ? true : fail("checkresult <number>");
    }
    if (c == "event" || c == "nullevent") {
        if (w.empty() || !ParseNumber(w[0], number)) return fail(c + " <kind number> ...");
        if (c == "nullevent" && w.size() != 1) return fail("nullevent <kind number>");
        std::string kindWord;
        SplitFirst(step.rest, kindWord, step.rest);  // rest becomes the event's text
        step.count = number;
        return true;
    }
    if (c == "readiness" || c == "request" || c == "release") {
        if (w.size() < 2 || (w[0] != "read" && w[0] != "write")) {
            return fail(c + " read|write <object link>");
        }
        std::string type;
        SplitFirst(step.rest, type, step.rest);  // rest becomes the object link
        return true;
    }
    if (c == "message" || c == "mark") return true;
    if (c == "grant") {
        if (w.size() > 1 || (w.size() == 1 && !ParseNumber(w[0], number))) {
            return fail("grant [cookie]");
        }
        return true;
    }
    if (c == "status") return w.size() == 1 ? true : fail("status <word>");
    if (c == "autoanswer") {
        return w.size() == 1 && (w[0] == "on" || w[0] == "off") ? true : fail("autoanswer on|off");
    }
    if (c == "wait") {
        return w.size() == 1 && ParseNumber(w[0], number) && number >= 0 ? true : fail("wait <ms>");
    }
    if (c == "await") {
        if (w.empty() || w.size() > 2 || !IsKind(w[0])) {
            return fail("await check|lock|unlock|pause|any|<kind> [timeout ms]");
        }
        if (w.size() == 2 && !ParseNumber(w[1], number)) return fail("await: bad time-out");
        return true;
    }
    if (c == "block") {
        if (w.size() != 2 || !IsKind(w[0]) || !ParseNumber(w[1], number) || number < 0) {
            return fail("block check|lock|unlock|pause|any|<kind> <ms>");
        }
        return true;
    }
    if (c == "parallel" || c == "ifanswer") {
        std::string first;
        std::string remaining;
        SplitFirst(step.rest, first, remaining);
        if (!ParseNumber(first, step.count)) return fail(c + ": number expected");
        if (c == "parallel") {
            std::string second;
            SplitFirst(remaining, second, remaining);
            if (!ParseNumber(second, step.times) || step.count < 1 || step.count > 256 ||
                step.times < 1) {
                return fail("parallel <threads 1..256> <times> <command>");
            }
        }
        if (remaining.empty()) return fail(c + ": command expected");
        auto inner = std::make_shared<Step>();
        if (!ParseCommand(remaining, line, *inner, error)) return false;
        step.inner = inner;
        return true;
    }
    return fail("unknown command \"" + keyword + "\"");
}

}  // namespace

Scenario ParseScenario(const std::string& text) {
    Scenario scenario;
    // The innermost open block is at the back; the scenario's own step list is at the front.
    std::vector<std::vector<Step>*> open{&scenario.steps};
    std::istringstream in(text);
    std::string rawLine;
    int line = 0;
    while (std::getline(in, rawLine)) {
        ++line;
        const std::string trimmed = Trim(rawLine);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        std::string keyword;
        std::string rest;
        SplitFirst(trimmed, keyword, rest);
        keyword = Lower(keyword);
        if (keyword == "repeat") {
            Step step;
            step.line = line;
            step.command = keyword;
            if (rest == "forever") {
                step.count = -1;
            } else if (!ParseNumber(rest, step.count) || step.count < 0) {
                scenario.error = "line " + std::to_string(line) + ": repeat <n>|forever";
                return scenario;
            }
            open.back()->push_back(std::move(step));
            open.push_back(&open.back()->back().body);
            continue;
        }
        if (keyword == "end") {
            if (open.size() == 1) {
                scenario.error = "line " + std::to_string(line) + ": end without repeat";
                return scenario;
            }
            open.pop_back();
            continue;
        }
        Step step;
        if (!ParseCommand(trimmed, line, step, scenario.error)) return scenario;
        open.back()->push_back(std::move(step));
    }
    if (open.size() != 1) scenario.error = "repeat without end";
    return scenario;
}

const char* DefaultScenarioText() { return kDefaultScenario; }

}  // namespace sundra::synclib
