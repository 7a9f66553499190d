#pragma once

#include <array>
#include <cstdint>
#include <string>

// The map application's side of the 15-byte status exchange, shared by the Windows window and the
// console program. It keeps the last status the program sent in bytes 0..7 of its own block, so
// the program answers only when something changed.
namespace mapapp {

using Block = std::array<std::uint8_t, 15>;

enum class ConsentPolicy { Always, Never, Delay, Ask };

struct Options {
    ConsentPolicy policy = ConsentPolicy::Always;
    std::uint32_t delayMs = 0;
    bool protect = false;
    bool noAnswer = false;
    long long exitAfterMs = -1;
    std::string target;  // Windows: the program's window handle (hex or decimal); console: socket
    std::uint32_t sendTimeoutMs = 3000;
};

// Parses --consent=always|never|delay:MS|ask, --protect, --no-answer, --exit-after=MS,
// --target=X, --send-timeout=MS. False (with a message in error) on anything else.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);
const char* Usage();

// What to do after a status from the program.
enum class Reaction {
    None,        // nothing to send
    SendNow,     // consent decided: send Current() at once (inside the program's send)
    StartDelay,  // start the delay; call ConsentAfterDelay when it has passed
    AskUser,     // ask; call SetConsent with the answer and send Current()
};

class MapAppState {
  public:
    explicit MapAppState(const Options& options);

    Block Running() const;       // byte 10 = 1
    Block ShuttingDown() const;  // byte 10 = 0
    const Block& Current() const { return block_; }

    Reaction OnStatus(const std::uint8_t* bytes);
    void SetConsent(bool consent) { block_[13] = consent ? 1 : 0; }
    void SetProtect(bool protect) { block_[12] = protect ? 1 : 0; }
    bool Consent() const { return block_[13] != 0; }
    bool Protect() const { return block_[12] != 0; }
    void ConsentAfterDelay() { SetConsent(true); }
    bool DelayPending() const { return delayPending_; }
    void ClearDelay() { delayPending_ = false; }

  private:
    Options options_;
    Block block_{};
    bool delayPending_ = false;
};

// Creates "mapapp.not-answering" in the working directory once --no-answer has taken effect, so
// that a test knows when the map application no longer takes blocks.
void MarkNotAnswering();

// "01 01 00 ..." for the standard output.
std::string Format(const std::uint8_t* bytes);

}  // namespace mapapp
