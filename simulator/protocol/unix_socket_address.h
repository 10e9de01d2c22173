#pragma once

#ifdef _WIN32
#include <winsock2.h>
// winsock2.h first: afunix.h needs its types.
#include <afunix.h>
#else
#include <sys/socket.h>
#include <sys/un.h>
#endif

#include <cstring>
#include <string>

namespace luxsim {

/// The address of the Unix-domain socket at `path` (Winsock's AF_UNIX on Windows); false when
/// the path does not fit.
inline bool MakeUnixSocketAddress(const std::string& path, sockaddr_un* address) {
  if (path.size() >= sizeof address->sun_path) return false;
  *address = sockaddr_un{};
  address->sun_family = AF_UNIX;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace luxsim
