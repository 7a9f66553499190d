#pragma once

#include <cstdint>
#include <memory>

#include "platform/copy_data.h"
#include "platform/types.h"

namespace application::data_objects {

// The road by which the coordinator hands a status block to the map application. The program uses
// the platform's block exchange; tests put a peer of their own here.
class IMapAppChannel {
  public:
    virtual ~IMapAppChannel() = default;
    virtual platform::CopyDataSendResult Send(platform::WindowHandle mapApp,
                                              platform::WindowHandle mainWindow,
                                              const platform::CopyDataRecord& record,
                                              std::uint32_t timeoutMs) = 0;
};

// The channel of the running program: platform::SendCopyData.
std::shared_ptr<IMapAppChannel> MakePlatformMapAppChannel();

}  // namespace application::data_objects
