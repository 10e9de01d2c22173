#include "shell_outbox.h"

#include <iostream>
#include <system_error>

#include "ipc/call_status.h"

namespace luxsim {

ShellOutbox::ShellOutbox() { toClient_.Setup(IPC::kCallKindCall); }

ShellOutbox::~ShellOutbox() {
  {
    std::lock_guard lock(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool ShellOutbox::Start() {
  try {
    thread_ = std::thread(&ShellOutbox::Run, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void ShellOutbox::Send(std::weak_ptr<IPC::ServerConnection> connection, std::string message) {
  {
    std::lock_guard lock(lock_);
    letters_.push_back({std::move(connection), std::move(message)});
  }
  wake_.notify_all();
}

void ShellOutbox::Run() {
  std::unique_lock lock(lock_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !letters_.empty(); });
    if (stopping_) return;
    Letter letter = std::move(letters_.front());
    letters_.pop_front();
    lock.unlock();
    if (const std::shared_ptr<IPC::ServerConnection> connection = letter.connection.lock()) {
      // A client that goes away meanwhile is no fault; one that cannot take the message is.
      const uint8_t status = connection->Call(toClient_, letter.message);
      if (status != IPC::kCallSuccess && status != IPC::kCallDisconnected) {
        std::clog << "shell: a message to process " << connection->PeerProcessId()
                  << " failed: " << IPC::CallStatusText(status) << std::endl;
      }
    }
    lock.lock();
  }
}

}  // namespace luxsim
