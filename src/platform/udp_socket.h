#pragma once
// Connected UDP datagram sockets over IPv4: the UDP transport of the agent link sends
// each packet and each control byte as one datagram to the agent and receives its
// answers. Windows Sockets 1.1 (wsock32) on Windows, BSD sockets on POSIX. Socket
// handles are numbers; kNoSocket marks none. Addresses are IPv4 addresses in network
// byte order, as the socket calls take them.

#include <algorithm>
#include <cstdint>

#include "platform/clock.h"

namespace zentor::platform {

inline constexpr intptr_t kNoSocket = -1;

// Starts the socket library asking for version 1.1; false when it cannot be started
// or grants another version (it is then stopped again). POSIX: always true.
bool StartSocketLibrary();
// Stops what StartSocketLibrary started (once per successful start).
void StopSocketLibrary();

// The first IPv4 address of a host name (a name lookup, never a parse); false when
// the name is unknown.
bool LookUpHostAddress(const char* name, uint32_t* address);
// A dotted IPv4 address ("127.0.0.1"); false when the text is none (the broadcast
// address 255.255.255.255 included, as inet_addr reports it).
bool ParseDottedAddress(const char* text, uint32_t* address);

// A new datagram socket, or kNoSocket.
intptr_t OpenDatagramSocket();
// Connects the socket to address and port (host byte order); false on failure.
bool ConnectDatagramSocket(intptr_t socket, uint32_t address, uint16_t port);
// An answer over the loopback comes within microseconds, and a thread that went to
// sleep takes tens of them to wake (a hundred and more across the cores of a virtual
// machine): a wait first looks this long without sleeping. Between two looks it gives
// the processor away, so that a peer on the same core runs at once and is never kept
// from sending by the looking. When giving it away took longer than
// kProcessorTakenMicroseconds, other work had the core: the wait then sleeps for the
// rest of its time, as a sleeping thread is woken when its datagram comes while a
// looking one waits for its turn on the core.
inline constexpr uint64_t kReadableSpinMicroseconds = 50;
inline constexpr uint64_t kProcessorTakenMicroseconds = 30;

// The looking stretch of one wait of `timeoutMilliseconds`.
class ReadableLook {
 public:
  explicit ReadableLook(uint32_t timeoutMilliseconds)
      : m_end(MonotonicMicroseconds() + std::min<uint64_t>(kReadableSpinMicroseconds,
                                                           uint64_t{timeoutMilliseconds} * 1000u)) {}
  // After a look that found nothing: true when the wait looks again (the processor was
  // given away in between), false when it is to sleep (or give up) now.
  bool Again() {
    const uint64_t before = MonotonicMicroseconds();
    if (before >= m_end) return false;
    SleepMilliseconds(0);
    return MonotonicMicroseconds() - before <= kProcessorTakenMicroseconds;
  }

 private:
  uint64_t m_end;
};

// Sleeps until a datagram (or an error) can be received: 1 ready, 0 time-out, -1 error.
int WaitUntilReadable(intptr_t socket, uint32_t timeoutMilliseconds);
// What ReceiveWaitingDatagram answers when no datagram has come.
inline constexpr int32_t kNoDatagramYet = -2;
// Receives one datagram when one has come, without waiting: its length (cut to
// `length`; 0 for an empty datagram), kNoDatagramYet, or -1 on failure. A look of the
// wait above costs one socket call this way, where asking for readiness first and
// receiving then costs two.
int32_t ReceiveWaitingDatagram(intptr_t socket, void* buffer, uint32_t length);
// Sends the bytes as one datagram; returns the number sent or -1.
int32_t SendDatagram(intptr_t socket, const void* bytes, uint32_t length);
void CloseDatagramSocket(intptr_t socket);

}  // namespace zentor::platform
