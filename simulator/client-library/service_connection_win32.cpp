#include <winsock2.h>

#include "protocol/unix_socket_address.h"
#include "service_connection.h"

// The runtime service's socket is a Unix-domain stream socket, which Winsock offers since
// Windows 10 (AF_UNIX). Winsock is started for every connection and ended with it.

namespace luxsim {

namespace {

std::string WinsockErrorText(int code) {
  char text[512] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  std::string result(text, length);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  return result.empty() ? "Winsock error " + std::to_string(code) : result;
}

}  // namespace

std::unique_ptr<ServiceConnection> ServiceConnection::Connect(const std::string& path,
                                                              std::string* error) {
  sockaddr_un address;
  if (!MakeUnixSocketAddress(path, &address)) {
    *error = "the socket path is too long";
    return nullptr;
  }
  WSADATA data{};
  if (const int started = WSAStartup(MAKEWORD(2, 2), &data); started != 0) {
    *error = WinsockErrorText(started);
    return nullptr;
  }
  const SOCKET raw = socket(AF_UNIX, SOCK_STREAM, 0);
  UniqueFd socket(raw == INVALID_SOCKET ? -1 : static_cast<int>(raw));
  if (!socket.IsValid() ||
      connect(raw, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    *error = WinsockErrorText(WSAGetLastError());
    socket.Reset();
    WSACleanup();
    return nullptr;
  }
  return std::make_unique<ServiceConnection>(std::move(socket));
}

bool ServiceConnection::SendAll(const std::string& bytes, std::string* error) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const int count = send(static_cast<SOCKET>(socket_.Get()), bytes.data() + sent,
                           static_cast<int>(bytes.size() - sent), 0);
    if (count <= 0) {
      *error = "the runtime service connection failed: " + WinsockErrorText(WSAGetLastError());
      return false;
    }
    sent += static_cast<size_t>(count);
  }
  return true;
}

size_t ServiceConnection::ReceiveSome(char* buffer, size_t size, std::string* error) {
  WSAPOLLFD pending{static_cast<SOCKET>(socket_.Get()), POLLRDNORM, 0};
  const int ready = WSAPoll(&pending, 1, kAnswerTimeoutMs);
  if (ready == 0) {
    *error = "the runtime service did not answer";
    return 0;
  }
  const int count =
      ready > 0 ? recv(static_cast<SOCKET>(socket_.Get()), buffer, static_cast<int>(size), 0) : -1;
  if (count <= 0) {
    *error = "the runtime service closed the connection";
    return 0;
  }
  return static_cast<size_t>(count);
}

}  // namespace luxsim
