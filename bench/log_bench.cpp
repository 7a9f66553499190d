// What one logging call costs on the calling thread, against the bare work it cannot avoid: one
// locked append of a copied text with a time stamp. The ratio is what matters on a shared machine.

#include <benchmark/benchmark.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "logging/synchronization_log.h"
#include "messaging/i_message_sender.h"
#include "platform/local_time.h"

namespace {

// Counts the announcements instead of queueing window messages, so the figure is the log's own.
class CountingSender : public synchronization::messaging::IMessageSender {
public:
    bool Post(std::uint32_t, platform::WParam, platform::LParam) override {
        posts.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    bool Post(std::uint32_t code) override { return Post(code, 0, 0); }
    std::atomic<std::uint64_t> posts{0};
};

const std::u16string kLine = u"Manager: Lock task added to queue (ID:4711)";

void BM_Baseline_LockedAppendWithTime(benchmark::State& state) {
    std::mutex lock;
    std::deque<std::pair<std::u16string, platform::LocalTime>> entries;
    for (auto _ : state) {
        std::lock_guard<std::mutex> guard(lock);
        entries.emplace_back(kLine, platform::GetLocalTime());
        if (entries.size() > 4096) entries.clear();
    }
}
BENCHMARK(BM_Baseline_LockedAppendWithTime);

void BM_Log_Wide(benchmark::State& state) {
    auto sender = std::make_shared<CountingSender>();
    auto log = std::make_shared<application::logging::SynchronizationLog>(sender, 0);
    std::uint64_t logged = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(log->Log(kLine));
        // A log without a list keeps every line; start afresh now and then so memory stays flat.
        if (++logged % 4096 == 0) {
            state.PauseTiming();
            log = std::make_shared<application::logging::SynchronizationLog>(sender, 0);
            state.ResumeTiming();
        }
    }
    // One announcement per line, as the window would receive them.
    if (sender->posts.load() != logged) state.SkipWithError("a line was not announced");
}
BENCHMARK(BM_Log_Wide);

}  // namespace
