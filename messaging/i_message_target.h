#pragma once

namespace synchronization::messaging {

// Offered by a message sender that can tell whether the window it posts to still exists, so that
// a thread waiting for an answer from that window can give up once the window is gone.
class IMessageTarget {
  public:
    virtual ~IMessageTarget() = default;
    virtual bool TargetExists() const = 0;
};

}  // namespace synchronization::messaging
