#include <winsock2.h>

#include "protocol/unique_fd.h"

namespace luxsim {

// On Windows the descriptors are Winsock sockets: closing one also ends the Winsock start-up
// that its connection made.
void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) {
    closesocket(static_cast<SOCKET>(fd_));
    WSACleanup();
  }
  fd_ = fd;
}

}  // namespace luxsim
