#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ipc/remote_function.h"
#include "ipc/server.h"

namespace luxsim {

/// Sends the shell's messages to its clients through their function "toClient", in order, from
/// a thread of its own: a call waits for the client to take the message, and the event loop
/// must never wait for a client.
class ShellOutbox {
 public:
  ShellOutbox();
  /// Stops the thread; messages not sent yet are dropped.
  ~ShellOutbox();
  ShellOutbox(const ShellOutbox&) = delete;
  ShellOutbox& operator=(const ShellOutbox&) = delete;

  /// False when the thread cannot start.
  bool Start();
  /// Sends `message` to the client of `connection`, unless that connection is gone by then. Any
  /// thread.
  void Send(std::weak_ptr<IPC::ServerConnection> connection, std::string message);

 private:
  struct Letter {
    std::weak_ptr<IPC::ServerConnection> connection;
    std::string message;
  };

  void Run();

  IPC::RemoteFunction toClient_{"toClient"};  // set up before the thread starts
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<Letter> letters_;  // guarded by lock_
  bool stopping_ = false;       // guarded by lock_
  std::thread thread_;
};

}  // namespace luxsim
