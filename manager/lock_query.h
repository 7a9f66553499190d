#pragma once

#include <string>

namespace synchronization::manager {

// The record whose address travels with the synchronous messages 1234..1236. It lives in the
// asking thread's frame for the length of the wait; the user-interface thread writes the answer.
struct LockQuery {
    std::u16string object;
    std::u16string uid;
    bool answer = true;
};

}  // namespace synchronization::manager
