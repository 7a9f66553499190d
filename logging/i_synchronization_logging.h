#pragma once

#include <string>

#include "messaging/i_message_listener.h"

namespace synchronization::logging {

class ISynchronizationLogging : public messaging::IMessageListener {
public:
    ~ISynchronizationLogging() override = default;
    virtual bool Log(const std::u16string& text) = 0;
    virtual bool Log(const std::string& text) = 0;
};

}  // namespace synchronization::logging
