// A message of the shell service as the service (or whoever took its name) sends it: the
// shell client's "toClient" takes it, and every reader of a response's fields reads it.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_machine.h"
#include "hub/hub_message.h"
#include "hub/hub_remote_control.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzMachine::Prefix();
  // No service answers on the private machine: the client connects to nothing and only keeps
  // what arrives, at most its limit of messages.
  static QasValidator::HubRemoteControl hub;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  hub.OnMessage(text);
  const std::optional<Json::Value> message = QasValidator::ParseHubMessage(text);
  if (!message) return 0;
  QasValidator::IsResponse(*message);
  QasValidator::HasSequenceId(*message, "0");
  QasValidator::IsOkAnswer(*message);
  QasValidator::ReadLocation(*message);
  QasValidator::ReadHswNeeded(*message);
  QasValidator::ReadProcessId(*message);
  QasValidator::ReadDashVisibility(*message);
  QasValidator::ReadFocusAware(*message);
  return 0;
}
