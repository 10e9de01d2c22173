#include "platform/named_event.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include "platform/machine.h"

// A named event is a file in the runtime's run folder. It is signalled exactly while some
// process holds an exclusive lock on it, so the signal vanishes with the process that set it,
// like a Windows event whose last handle is closed.

namespace platform {

namespace {

std::string EventPath(std::string_view name) { return RuntimeRunFolder() + std::string(name); }

}  // namespace

bool IsNamedEventSignalled(std::string_view name) {
  const int descriptor = open(EventPath(name).c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return false;
  // A shared lock is granted unless an owner holds the exclusive one.
  const bool locked = flock(descriptor, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(descriptor);
  return locked;
}

std::optional<OwnedNamedEvent> OwnedNamedEvent::Create(std::string_view name, bool signalled) {
  std::string path = EventPath(name);
  const int descriptor = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (descriptor < 0) return std::nullopt;
  OwnedNamedEvent event(descriptor, std::move(path));
  if (signalled && !event.Set()) return std::nullopt;
  return event;
}

bool OwnedNamedEvent::Set() {
  // A probe holds its shared lock only for an instant; a lock held longer belongs to another
  // owner of the event.
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (flock(descriptor_, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

void OwnedNamedEvent::Reset() { flock(descriptor_, LOCK_UN); }

void OwnedNamedEvent::Release() {
  if (descriptor_ < 0) return;
  unlink(path_.c_str());
  close(std::exchange(descriptor_, -1));
}

}  // namespace platform
