#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sundra::synclib {

// One command of a scenario (docs/synclib-scenario.md). Blocks (repeat ... end) hold their
// steps in body; "parallel" and "ifanswer" hold the command they run in inner.
struct Step {
    int line = 0;
    std::string command;             // the keyword, lower case
    std::vector<std::string> words;  // the words after the keyword
    std::string rest;                // everything after the keyword, as written
    long long count = 0;             // repeat count (-1: forever), parallel threads, ifanswer value
    long long times = 0;             // parallel: how often each thread runs inner
    std::vector<Step> body;
    std::shared_ptr<Step> inner;
};

struct Scenario {
    std::vector<Step> steps;
    std::string error;  // empty when the text was understood
};

Scenario ParseScenario(const std::string& text);

// The demo's update cycle, used when no scenario file is named.
const char* DefaultScenarioText();

}  // namespace sundra::synclib
