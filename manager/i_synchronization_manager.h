#pragma once

#include <cstdint>
#include <string>

namespace synchronization::manager {

class ISynchronizationManager {
public:
    virtual ~ISynchronizationManager() = default;
    // Task ID of the queued lock request, 0 when nothing was queued.
    virtual std::uint32_t Lock(const std::u16string& object, const std::u16string& uid,
                               bool read) = 0;
    // Task ID of the queued unlock request, 0 when nothing was queued.
    virtual std::uint32_t Unlock(const std::uint32_t& cookie) = 0;
};

}  // namespace synchronization::manager
