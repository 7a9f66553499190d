#pragma once

#include <deque>
#include <mutex>
#include <string>

namespace synchronization::manager {

// The outgoing lock and unlock requests. Pushes come from the user-interface thread, pops from
// the communication thread; every push wakes that thread through a named event.
class RequestQueue {
  public:
    RequestQueue();

    void PushLockRequest(const std::u16string& text);
    void PushUnlockRequest(const std::u16string& text);
    // The oldest text, or empty text when there is none.
    std::u16string PopLockRequest();
    std::u16string PopUnlockRequest();

    const std::u16string eventName;

  private:
    void Push(std::deque<std::u16string>& requests, const std::u16string& text);
    std::u16string Pop(std::deque<std::u16string>& requests);

    std::deque<std::u16string> lockRequests;
    std::deque<std::u16string> unlockRequests;
    std::mutex lock;
};

}  // namespace synchronization::manager
