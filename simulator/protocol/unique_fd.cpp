#include "protocol/unique_fd.h"

#include <unistd.h>

namespace luxsim {

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
}

}  // namespace luxsim
