#pragma once

#include <cstdint>

#include "log/channels/channel.h"
#include "log/channels/output_worker.h"

// The process-wide logging functions. Every module that has channels holds its own
// implementation of them; the executable exports its implementation under these C names, and
// the channels of every module it loads use those (see Channel).
extern "C" {

/// Hands one message to the process's output worker, which is made on first use.
void OutputWorkerOutputFunctionC(const char* channel, uint32_t level, const char* message,
                                 uint8_t noDebuggerCopy, int32_t force);
/// Adds a channel to the process's channel list.
void ConfiguratorRegisterC(luxlog::ChannelRegistration* registration);
/// Removes a channel from the process's channel list.
void ConfiguratorUnregisterC(luxlog::ChannelRegistration* registration);
/// Reports a channel's level change; makes the output worker on first use.
void ConfiguratorOnChannelLevelChangeC(luxlog::Channel* channel, uint32_t level);
}

namespace luxlog {

/// This module's output worker, made on first use with the debugger output (or, when a
/// debugger is attached, copies to it) and the console ("LuxOutputToStdout" sends the console
/// lines to the standard output stream). It is stopped, its last batch written, when the module
/// is unloaded or the process exits; null from then on.
OutputWorker* ProcessOutputWorker();

}  // namespace luxlog
