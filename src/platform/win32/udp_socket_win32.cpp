#include "platform/udp_socket.h"

// Windows Sockets 1.1 (wsock32): the version the program asks for.
#include <winsock.h>

#include <cstring>

namespace zentor::platform {
namespace {

SOCKET Native(intptr_t socket) { return static_cast<SOCKET>(socket); }

int32_t ReceiveDatagram(intptr_t socket, void* buffer, uint32_t length) {
  const int n = ::recv(Native(socket), static_cast<char*>(buffer), static_cast<int>(length), 0);
  if (n == SOCKET_ERROR) {
    // A datagram longer than the buffer is cut to it: that is what the caller asked for.
    if (WSAGetLastError() == WSAEMSGSIZE) return static_cast<int32_t>(length);
    return -1;
  }
  return n;
}

}  // namespace

bool StartSocketLibrary() {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
  if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1) {
    WSACleanup();
    return false;
  }
  return true;
}

void StopSocketLibrary() { WSACleanup(); }

bool LookUpHostAddress(const char* name, uint32_t* address) {
  const hostent* entry = gethostbyname(name);
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list[0] == nullptr) {
    return false;
  }
  uint32_t first = 0;
  std::memcpy(&first, entry->h_addr_list[0], sizeof first);
  *address = first;
  return true;
}

bool ParseDottedAddress(const char* text, uint32_t* address) {
  const unsigned long parsed = inet_addr(text);
  if (parsed == INADDR_NONE) return false;
  *address = static_cast<uint32_t>(parsed);
  return true;
}

intptr_t OpenDatagramSocket() {
  const SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, 0);
  return socket == INVALID_SOCKET ? kNoSocket : static_cast<intptr_t>(socket);
}

bool ConnectDatagramSocket(intptr_t socket, uint32_t address, uint16_t port) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  return ::connect(Native(socket), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
}

int WaitUntilReadable(intptr_t socket, uint32_t timeoutMilliseconds) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Native(socket), &readable);
  timeval wait{static_cast<long>(timeoutMilliseconds / 1000), static_cast<long>(timeoutMilliseconds % 1000) * 1000};
  const int result = ::select(0, &readable, nullptr, nullptr, &wait);
  return result < 0 ? -1 : (result == 0 ? 0 : 1);
}

// Windows Sockets 1.1 has no receive that leaves a blocking socket's mode alone and
// does not wait: a select of no time asks first.
int32_t ReceiveWaitingDatagram(intptr_t socket, void* buffer, uint32_t length) {
  const int ready = WaitUntilReadable(socket, 0);
  if (ready <= 0) return ready == 0 ? kNoDatagramYet : -1;
  return ReceiveDatagram(socket, buffer, length);
}

int32_t SendDatagram(intptr_t socket, const void* bytes, uint32_t length) {
  const int n = ::send(Native(socket), static_cast<const char*>(bytes), static_cast<int>(length), 0);
  return n == SOCKET_ERROR ? -1 : n;
}

void CloseDatagramSocket(intptr_t socket) {
  if (socket != kNoSocket) closesocket(Native(socket));
}

}  // namespace zentor::platform
