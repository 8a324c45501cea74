#pragma once
// A datagram socket of the tests' own on 127.0.0.1 (POSIX only), standing for the
// agent's end or for a relay in front of it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace zentor::testing_support {

// A UDP socket bound to a free port of 127.0.0.1; *address receives where.
inline int BoundLoopbackSocket(sockaddr_in* address) {
  const int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
  *address = sockaddr_in{};
  address->sin_family = AF_INET;
  address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(socket, reinterpret_cast<sockaddr*>(address), sizeof *address);
  socklen_t size = sizeof *address;
  getsockname(socket, reinterpret_cast<sockaddr*>(address), &size);
  return socket;
}

}  // namespace zentor::testing_support
