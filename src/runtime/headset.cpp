#include "runtime/headset.h"

#include "platform/named_event.h"

namespace LuxLoader {

bool IsHeadsetConnected() { return platform::IsNamedEventSignalled(kHeadsetConnectedEvent); }

}  // namespace LuxLoader
