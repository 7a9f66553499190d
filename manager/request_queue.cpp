#include "manager/request_queue.h"

#include "platform/event.h"

namespace synchronization::manager {

RequestQueue::RequestQueue() : eventName(u"Local\\NewOutgoingSynchronizationRequest") {}

void RequestQueue::PushLockRequest(const std::u16string& text) { Push(lockRequests, text); }

void RequestQueue::PushUnlockRequest(const std::u16string& text) { Push(unlockRequests, text); }

std::u16string RequestQueue::PopLockRequest() { return Pop(lockRequests); }

std::u16string RequestQueue::PopUnlockRequest() { return Pop(unlockRequests); }

void RequestQueue::Push(std::deque<std::u16string>& requests, const std::u16string& text) {
    if (text.empty()) return;
    std::lock_guard<std::mutex> guard(lock);
    requests.push_back(text);
    // Before the communication thread has created the event the text waits for its first pass.
    platform::Event wake = platform::Event::OpenNamed(eventName);
    if (wake.IsValid()) wake.Set();
}

std::u16string RequestQueue::Pop(std::deque<std::u16string>& requests) {
    std::lock_guard<std::mutex> guard(lock);
    if (requests.empty()) return {};
    std::u16string text = std::move(requests.front());
    requests.pop_front();
    return text;
}

}  // namespace synchronization::manager
