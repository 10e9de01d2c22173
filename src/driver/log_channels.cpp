// The executable's own log channels. Constructed at start-up, they bind the executable to the
// logging functions it exports; nothing in the program writes to them.

#include "log/channels/channel.h"

namespace {

const luxlog::Channel listenerLog("ListenerLog");
const luxlog::Channel kernelSystemLog("Kernel:System");

}  // namespace
