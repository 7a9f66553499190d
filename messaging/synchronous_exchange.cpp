#include "messaging/synchronous_exchange.h"

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "messaging/i_message_target.h"

namespace synchronization::messaging {

namespace {

enum class ExchangeState { Pending, Dispatching, Done };

struct Exchange {
    std::uint32_t code = 0;
    manager::LockQuery* query = nullptr;
    IExchangeSignal* signal = nullptr;
    ExchangeState state = ExchangeState::Pending;
    bool answered = false;
};

// Every signal is set with the mutex held and an entry is erased only by its asker, under the
// mutex, so no signal is ever set after its asker has destroyed it.
struct Exchanges {
    std::mutex mutex;
    std::map<platform::LParam, Exchange> pending;
    bool closed = false;
};

std::atomic<std::thread::id>& DispatchThread() {
    static std::atomic<std::thread::id> id{std::thread::id()};
    return id;
}

Exchanges& TheExchanges() {
    static Exchanges exchanges;
    return exchanges;
}

enum class Outcome { Answered, Failed, StillDispatching };

// The asker's way out: removes its entry and tells how the exchange ended. A pending entry is
// withdrawn (no dispatch will touch its record any more); an entry being dispatched stays.
Outcome Finish(platform::LParam key, bool withdrawPending) {
    Exchanges& exchanges = TheExchanges();
    std::lock_guard<std::mutex> lock(exchanges.mutex);
    auto it = exchanges.pending.find(key);
    if (it == exchanges.pending.end()) {
        return Outcome::Failed;
    }
    switch (it->second.state) {
        case ExchangeState::Done: {
            const bool answered = it->second.answered;
            exchanges.pending.erase(it);
            return answered ? Outcome::Answered : Outcome::Failed;
        }
        case ExchangeState::Pending:
            if (withdrawPending) {
                exchanges.pending.erase(it);
                return Outcome::Failed;
            }
            return Outcome::StillDispatching;
        case ExchangeState::Dispatching:
            break;
    }
    return Outcome::StillDispatching;
}

bool Fail(manager::LockQuery& query) {
    query.answer = false;
    return false;
}

}  // namespace

bool AskSynchronouslyWith(IMessageSender& sender, std::uint32_t code, manager::LockQuery& query,
                          IExchangeSignal& signal, std::uint32_t sliceMs) {
    const platform::LParam key = signal.ToParam();
    if (key == 0 || DispatchThread().load() == std::this_thread::get_id()) {
        return Fail(query);
    }
    try {
        Exchanges& exchanges = TheExchanges();
        std::lock_guard<std::mutex> lock(exchanges.mutex);
        if (exchanges.closed || exchanges.pending.count(key) != 0) {
            return Fail(query);
        }
        exchanges.pending.emplace(key,
                                  Exchange{code, &query, &signal, ExchangeState::Pending, false});
    } catch (...) {
        return Fail(query);
    }

    bool posted = false;
    try {
        posted = sender.Post(code, reinterpret_cast<platform::WParam>(&query), key);
    } catch (...) {
        posted = false;
    }
    if (!posted && Finish(key, true) != Outcome::StillDispatching) {
        return Fail(query);
    }

    const auto* target = dynamic_cast<const IMessageTarget*>(&sender);
    for (;;) {
        const platform::WaitResult waited = signal.Wait(sliceMs == 0 ? 1 : sliceMs);
        if (waited == platform::WaitResult::Signaled) {
            break;
        }
        bool gone = waited == platform::WaitResult::Failed;
        if (!gone && target != nullptr) {
            try {
                gone = !target->TargetExists();
            } catch (...) {
                gone = true;
            }
        }
        if (gone) {
            const Outcome outcome = Finish(key, true);
            if (outcome != Outcome::StillDispatching) {
                return outcome == Outcome::Answered ? true : Fail(query);
            }
            // Being dispatched right now: the dispatch completes it in any case.
            if (waited == platform::WaitResult::Failed) {
                std::this_thread::yield();
            }
        }
    }
    for (;;) {
        // Set means done, unless somebody else set the event; then the claim decides.
        const Outcome outcome = Finish(key, true);
        if (outcome != Outcome::StillDispatching) {
            return outcome == Outcome::Answered ? true : Fail(query);
        }
        std::this_thread::yield();
    }
}

void NoteDispatchThread() { DispatchThread().store(std::this_thread::get_id()); }

int CancelPendingExchanges() {
    Exchanges& exchanges = TheExchanges();
    std::lock_guard<std::mutex> lock(exchanges.mutex);
    exchanges.closed = true;
    int released = 0;
    for (auto& [key, exchange] : exchanges.pending) {
        if (exchange.state == ExchangeState::Pending) {
            exchange.state = ExchangeState::Done;
            exchange.answered = false;
            exchange.signal->Set();
            ++released;
        }
    }
    return released;
}

void ReopenExchanges() {
    Exchanges& exchanges = TheExchanges();
    std::lock_guard<std::mutex> lock(exchanges.mutex);
    exchanges.closed = false;
}

manager::LockQuery* ClaimExchange(std::uint32_t code, platform::WParam wParam,
                                  platform::LParam lParam) {
    if (lParam == 0) {
        return nullptr;
    }
    Exchanges& exchanges = TheExchanges();
    std::lock_guard<std::mutex> lock(exchanges.mutex);
    auto it = exchanges.pending.find(lParam);
    if (it == exchanges.pending.end()) {
        return nullptr;
    }
    Exchange& exchange = it->second;
    // A message that only shares the event's value with a live exchange is a stale one.
    if (exchange.state != ExchangeState::Pending || exchange.code != code ||
        reinterpret_cast<platform::WParam>(exchange.query) != wParam) {
        return nullptr;
    }
    exchange.state = ExchangeState::Dispatching;
    return exchange.query;
}

void CompleteExchange(platform::LParam lParam, bool answered) {
    Exchanges& exchanges = TheExchanges();
    std::lock_guard<std::mutex> lock(exchanges.mutex);
    auto it = exchanges.pending.find(lParam);
    if (it == exchanges.pending.end() || it->second.state != ExchangeState::Dispatching) {
        return;
    }
    it->second.state = ExchangeState::Done;
    it->second.answered = answered;
    it->second.signal->Set();
}

}  // namespace synchronization::messaging
