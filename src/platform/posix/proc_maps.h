#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// The files mapped into a process, read from the text of its /proc/PID/maps: the path of
/// every mapping backed by a file (an inode other than 0 and a path beginning with '/'), as the
/// kernel reports it (" (deleted)" and all), each once, in the order of first appearance.
std::vector<std::string> MappedFiles(std::string_view maps);

}  // namespace platform
