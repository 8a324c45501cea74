#include "target/udp_transport.h"

#include "target/agent_protocol.h"

#include "console/file_channel.h"
#include "core/busy_pump.h"
#include "core/window_layer.h"

#include "platform/clock.h"
#include "platform/udp_socket.h"

#include <cctype>

namespace zentor {
namespace {

struct UdpTransportState {
  uint8_t scratch[kPacketBufferSize] = {};
  uint32_t flushQuietMilliseconds = kUdpFlushQuietMilliseconds;
  // The link's last act was a send: the peer owes its answer to it.
  bool sentLast = false;
};

UdpTransportState& State() {
  static UdpTransportState state;
  return state;
}

[[noreturn]] void FailToResolve(const std::string& text) {
  WindowLayer::ShowMessageBox(WindowLayer::GetFocusWindow(), kMessageBoxError, text.c_str());
  platform::StopSocketLibrary();
  ExitProgram();
}

}  // namespace

bool SplitUdpLinkName(const std::string& name, std::string* host, uint16_t* port) {
  const size_t colon = name.rfind(':');
  *host = name.substr(0, colon);
  *port = kDefaultAgentUdpPort;
  if (colon != std::string::npos) {
    const std::string digits = name.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    uint32_t value = 0;
    for (char ch : digits) {
      if (!std::isdigit(static_cast<unsigned char>(ch))) return false;
      value = value * 10 + static_cast<uint32_t>(ch - '0');
    }
    if (value == 0 || value > 65535) return false;
    *port = static_cast<uint16_t>(value);
  }
  return !host->empty();
}

// A name that begins with a digit is only ever a dotted address; any other name is
// looked up, never parsed.
LinkHandle OpenUdpLink(const char* name) {
  if (name == nullptr || !platform::StartSocketLibrary()) return kNoLinkHandle;
  std::string host;
  uint16_t port = 0;
  const bool split = SplitUdpLinkName(name, &host, &port);
  uint32_t address = 0;
  if (!host.empty() && std::isdigit(static_cast<unsigned char>(host[0]))) {
    if (!split || !platform::ParseDottedAddress(host.c_str(), &address)) {
      FailToResolve("Invalid Internet address '" + std::string(name) + "'.");
    }
  } else if (!split || !platform::LookUpHostAddress(host.c_str(), &address)) {
    FailToResolve("Hostname '" + std::string(name) + "' not found.");
  }
  const intptr_t socket = platform::OpenDatagramSocket();
  if (socket == platform::kNoSocket) {
    platform::StopSocketLibrary();
    return kNoLinkHandle;
  }
  if (!platform::ConnectDatagramSocket(socket, address, port)) {
    platform::CloseDatagramSocket(socket);
    platform::StopSocketLibrary();
    return kNoLinkHandle;
  }
  SetLinkTransport(&UdpRead, &UdpWrite, &UdpClose, &UdpFlush);
  return socket;
}

// Every datagram is received, an empty one too: left queued it would keep the socket
// readable and every later read would find "nothing" at once. A receive that fails
// (the host reported the agent's port unreachable) is no answer either, but it comes
// at once: the wait goes on for the rest of the time-out, so that a dead port costs
// the transaction its full resend time and not a burst of resends. The wait looks
// first and sleeps only when the looking is over (see platform/udp_socket.h); each
// look is one receive that does not wait. Right after a send the answer cannot have
// come yet, and the peer that owes it may be waiting for this very core: the
// processor is given away before the first look, not after a look that could only
// find nothing.
int32_t UdpRead(LinkHandle socket, uint8_t* buffer, uint32_t length, uint32_t timeoutMilliseconds) {
  PumpingOff pumping;  // for exactly the length of one socket call
  const uint64_t deadline = platform::MonotonicMicroseconds() + uint64_t{timeoutMilliseconds} * 1000;
  platform::ReadableLook look(timeoutMilliseconds);
  UdpTransportState& state = State();
  bool looking = true;
  if (state.sentLast) {
    state.sentLast = false;
    looking = look.Again();
  }
  for (;;) {
    const int32_t received = platform::ReceiveWaitingDatagram(socket, buffer, length);
    if (received >= 0) return received;
    if (received == platform::kNoDatagramYet && looking) {
      looking = look.Again();
      if (looking) continue;
    }
    const uint64_t now = platform::MonotonicMicroseconds();
    if (now >= deadline) return -1;
    const auto remaining = static_cast<uint32_t>((deadline - now + 999) / 1000);
    if (platform::WaitUntilReadable(socket, remaining) <= 0) return -1;
  }
}

int32_t UdpWrite(LinkHandle socket, const uint8_t* bytes, uint32_t length) {
  PumpingOff pumping;
  const int32_t sent = platform::SendDatagram(socket, bytes, length);
  State().sentLast = sent >= 0;
  return sent;
}

void UdpClose(LinkHandle socket) {
  platform::CloseDatagramSocket(socket);
  platform::StopSocketLibrary();
}

void UdpFlush(LinkHandle socket) {
  UdpTransportState& state = State();
  while (UdpRead(socket, state.scratch, kPacketBufferSize, state.flushQuietMilliseconds) != -1) {
  }
}

void SetUdpFlushQuietTime(uint32_t milliseconds) {
  State().flushQuietMilliseconds = milliseconds != 0 ? milliseconds : kUdpFlushQuietMilliseconds;
}

}  // namespace zentor
