#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zentor::platform {
namespace {

int Fd(intptr_t socket) { return static_cast<int>(socket); }

}  // namespace

bool StartSocketLibrary() { return true; }
void StopSocketLibrary() {}

bool LookUpHostAddress(const char* name, uint32_t* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return false;
  *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return true;
}

bool ParseDottedAddress(const char* text, uint32_t* address) {
  const in_addr_t parsed = inet_addr(text);
  if (parsed == INADDR_NONE) return false;
  *address = parsed;
  return true;
}

intptr_t OpenDatagramSocket() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  return fd < 0 ? kNoSocket : fd;
}

bool ConnectDatagramSocket(intptr_t socket, uint32_t address, uint16_t port) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  return ::connect(Fd(socket), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
}

// poll rather than select: select cannot watch a descriptor numbered 1024 or above.
int WaitUntilReadable(intptr_t socket, uint32_t timeoutMilliseconds) {
  pollfd ready{Fd(socket), POLLIN, 0};
  for (;;) {
    const int result = ::poll(&ready, 1, static_cast<int>(timeoutMilliseconds));
    if (result < 0 && errno == EINTR) continue;
    return result < 0 ? -1 : (result == 0 ? 0 : 1);
  }
}

int32_t ReceiveWaitingDatagram(intptr_t socket, void* buffer, uint32_t length) {
  for (;;) {
    const ssize_t n = ::recv(Fd(socket), buffer, length, MSG_DONTWAIT);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK ? kNoDatagramYet : -1;
  }
}

int32_t SendDatagram(intptr_t socket, const void* bytes, uint32_t length) {
  for (;;) {
    const ssize_t n = ::send(Fd(socket), bytes, length, 0);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? -1 : static_cast<int32_t>(n);
  }
}

void CloseDatagramSocket(intptr_t socket) {
  if (socket != kNoSocket) ::close(Fd(socket));
}

}  // namespace zentor::platform
