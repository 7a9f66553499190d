// The console map application: talks to the program over the block-exchange socket
// (docs/map-application-protocol.md). Prints every status it receives; reads commands from its
// standard input: "consent on|off", "protect on|off", "quit" (and "y"/"n" when asked).
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "platform/copy_data.h"
#include "sim/mapapp/map_app_logic.h"

namespace {

using Clock = std::chrono::steady_clock;

// Lines of the standard input, read on a thread of their own so that the exchange never waits
// for the user except when the user was asked.
struct Input {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<std::string> lines;
    bool closed = false;

    bool Next(std::string& line, std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> lock(mutex);
        arrived.wait_for(lock, wait, [this] { return !lines.empty() || closed; });
        if (lines.empty()) return false;
        line = lines.front();
        lines.pop_front();
        return true;
    }
};

void Say(const std::string& text) { std::cout << text << std::endl; }

}  // namespace

int main(int argc, char** argv) {
    mapapp::Options options;
    std::string error;
    if (!mapapp::ParseOptions(argc, argv, options, error)) {
        std::cerr << error << '\n' << mapapp::Usage();
        return 2;
    }
    mapapp::MapAppState state(options);
    platform::CopyDataClient client;
    auto input = std::make_shared<Input>();
    std::thread([input] {
        std::string line;
        while (std::getline(std::cin, line)) {
            std::lock_guard<std::mutex> lock(input->mutex);
            input->lines.push_back(line);
            input->arrived.notify_one();
        }
        std::lock_guard<std::mutex> lock(input->mutex);
        input->closed = true;
        input->arrived.notify_one();
    }).detach();

    Clock::time_point delayEnd{};
    auto send = [&](const mapapp::Block& block) {
        platform::CopyDataRecord record{277, 15, block.data()};
        std::intptr_t result = 0;
        const auto outcome = client.Send(record, options.sendTimeoutMs, &result);
        Say(outcome == platform::CopyDataSendResult::Delivered
                ? "sent: " + mapapp::Format(block.data()) + " result " + std::to_string(result)
                : "send failed: " + mapapp::Format(block.data()));
    };
    auto handler = [&](platform::WindowHandle,
                       const platform::CopyDataRecord& record) -> std::intptr_t {
        if (record.dwData != 277 || record.cbData < 15 || record.lpData == nullptr) return 0;
        const auto* bytes = static_cast<const std::uint8_t*>(record.lpData);
        Say("status: " + mapapp::Format(bytes));
        switch (state.OnStatus(bytes)) {
            case mapapp::Reaction::SendNow:
                send(state.Current());
                break;
            case mapapp::Reaction::StartDelay:
                delayEnd = Clock::now() + std::chrono::milliseconds(options.delayMs);
                break;
            case mapapp::Reaction::AskUser: {
                Say("Consent to a write by the synchronization service? [y/n]");
                std::string answer;
                // The program waits for this answer only as long as its send bound.
                if (input->Next(answer,
                                std::chrono::milliseconds(options.sendTimeoutMs * 8 / 10)) &&
                    (answer == "y" || answer == "yes")) {
                    state.SetConsent(true);
                    send(state.Current());
                }
                break;
            }
            case mapapp::Reaction::None:
                break;
        }
        return 1;
    };

    // The program may still be starting: try for a few seconds.
    const auto connectEnd = Clock::now() + std::chrono::seconds(5);
    while (!client.Connect(options.target, handler)) {
        if (Clock::now() >= connectEnd) {
            std::cerr << "mapapp: cannot connect to "
                      << (options.target.empty() ? platform::DefaultCopyDataSocketPath()
                                                 : options.target)
                      << '\n';
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Say("connected");
    const auto start = Clock::now();
    auto expired = [&] {
        return options.exitAfterMs >= 0 &&
               Clock::now() - start >= std::chrono::milliseconds(options.exitAfterMs);
    };
    send(state.Running());

    if (options.noAnswer) {
        // A hung map application: registered, then never reads what the program sends.
        Say("not answering");
        mapapp::MarkNotAnswering();
        while (!expired() && !client.PeerClosed()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return 0;
    }

    for (;;) {
        if (client.Poll(20) < 0) {
            Say("program closed the connection");
            return 0;
        }
        if (state.DelayPending() && Clock::now() >= delayEnd) {
            state.ClearDelay();
            state.ConsentAfterDelay();
            send(state.Current());
        }
        std::string command;
        if (input->Next(command, std::chrono::milliseconds(0))) {
            if (command == "quit") break;
            if (command == "consent on" || command == "consent off") {
                state.SetConsent(command == "consent on");
                send(state.Current());
            } else if (command == "protect on" || command == "protect off") {
                state.SetProtect(command == "protect on");
                send(state.Current());
            }
        }
        if (expired()) break;
    }
    send(state.ShuttingDown());
    return 0;
}
