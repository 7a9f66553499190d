#pragma once

// The synchronous codes 1234..1236: a thread of the communication library asks a question that
// only the user-interface thread may decide, and waits for the answer.
//
// Rules of the exchange:
// - AskSynchronously registers the exchange (keyed by its event's message parameter) before it
//   posts (code, address of the LockQuery, event). Only exchanges made this way are answered:
//   the dispatch claims the exchange by lParam before it calls the listeners, and a synchronous
//   message whose exchange is not pending (cancelled, withdrawn, or never registered) reaches no
//   listener, because its record may no longer exist; it goes to default processing.
// - The dispatch completes every exchange it claimed, also when a listener threw: the asker is
//   then released with "no valid answer".
// - The asker never waits forever. It is released at once when the post fails; while it waits it
//   checks every kExchangeWaitSliceMs whether the sender's window still exists (when the sender
//   implements IMessageTarget) and withdraws the exchange once the window is gone - a destroyed
//   window's queued messages are dropped, so no dispatch would come.
// - CancelPendingExchanges (user-interface thread, at shut-down, after the listener list is
//   cleared and BEFORE the manager and with it the library are released - the library may wait
//   for its own threads) releases every exchange that is not being dispatched at that moment and
//   makes later AskSynchronously calls return false at once, until ReopenExchanges.
// - A question asked on the thread that dispatches (the user-interface thread) fails at once: only
//   that thread could answer it.
// Whenever AskSynchronously returns false it has also set query.answer to false: the events
// listener answers such a question "not ready" / "denied".

#include <cstdint>

#include "manager/lock_query.h"
#include "messaging/i_message_sender.h"
#include "platform/types.h"

namespace synchronization::messaging {

inline constexpr std::uint32_t kExchangeWaitSliceMs = 250;

// The one-shot signal an asker waits on: an unnamed manual-reset event in the program.
class IExchangeSignal {
  public:
    virtual ~IExchangeSignal() = default;
    virtual bool Set() = 0;
    virtual platform::WaitResult Wait(std::uint32_t timeoutMs) = 0;
    // The value that travels as lParam; unique among live signals, never 0 for a valid one.
    virtual platform::LParam ToParam() const = 0;
};

// Asks with an unnamed event (platform::Event). True when the user-interface thread answered;
// false when no event could be made, the post failed, the window went away or the exchange was
// cancelled or its dispatch failed.
bool AskSynchronously(IMessageSender& sender, std::uint32_t code, manager::LockQuery& query);

// The same with a given signal (the seam the tests use).
bool AskSynchronouslyWith(IMessageSender& sender, std::uint32_t code, manager::LockQuery& query,
                          IExchangeSignal& signal, std::uint32_t sliceMs = kExchangeWaitSliceMs);

// Releases every pending exchange that is not being dispatched; returns how many. Later asks
// fail at once until ReopenExchanges.
int CancelPendingExchanges();
void ReopenExchanges();

// The dispatch's side. The dispatch notes its thread for every message of the program's range.
void NoteDispatchThread();
// Claim returns the record of the pending exchange that (code, wParam,
// lParam) belongs to and marks it as being dispatched; null when there is none.
manager::LockQuery* ClaimExchange(std::uint32_t code, platform::WParam wParam,
                                  platform::LParam lParam);
// Ends a claimed exchange and releases its asker; answered false means the dispatch failed.
void CompleteExchange(platform::LParam lParam, bool answered);

}  // namespace synchronization::messaging
