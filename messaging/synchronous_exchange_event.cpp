// AskSynchronously with the platform's unnamed event. Kept apart from the exchange registry so
// that code which only dispatches does not need the event implementation.

#include "messaging/synchronous_exchange.h"
#include "platform/event.h"

namespace synchronization::messaging {

namespace {

class EventSignal final : public IExchangeSignal {
  public:
    explicit EventSignal(platform::Event event) : event_(std::move(event)) {}
    bool Set() override { return event_.Set(); }
    platform::WaitResult Wait(std::uint32_t timeoutMs) override { return event_.Wait(timeoutMs); }
    platform::LParam ToParam() const override { return event_.ToParam(); }

  private:
    platform::Event event_;
};

}  // namespace

bool AskSynchronously(IMessageSender& sender, std::uint32_t code, manager::LockQuery& query) {
    try {
        platform::Event event = platform::Event::CreateUnnamed();
        if (!event.IsValid()) {
            query.answer = false;
            return false;
        }
        EventSignal signal(std::move(event));
        return AskSynchronouslyWith(sender, code, query, signal);
    } catch (...) {
        query.answer = false;
        return false;
    }
}

}  // namespace synchronization::messaging
