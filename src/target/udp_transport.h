#pragma once
// The UDP transport of the agent link: each packet and each control byte is one
// datagram on a connected IPv4 socket (Windows Sockets 1.1 on Windows). The link name
// is a host name or dotted address, optionally followed by ":port"; without a port the
// agent's default port is used. While it waits on the socket the GUI's message pumps
// are switched off.

#include <cstdint>
#include <string>

#include "target/agent_link.h"

namespace zentor {

// How long a flush waits for quiet: every datagram arriving within this time of the
// previous one is discarded.
inline constexpr uint32_t kUdpFlushQuietMilliseconds = 200;

// Splits "host[:port]": the port is the decimal number after the last ':' (1-65535);
// without one the default agent port is taken. False for an empty host or a port
// that is no such number.
bool SplitUdpLinkName(const std::string& name, std::string* host, uint16_t* port);

// Starts the socket library, resolves the host and connects a datagram socket to it;
// the socket, or kNoLinkHandle. A host that cannot be resolved is shown in an error
// box and ends the program (exit code 0).
LinkHandle OpenUdpLink(const char* name);
// Waits up to the time-out for a datagram and receives it, cut to `length`. Returns
// its length (0 for an empty datagram), or -1 when none came or the socket failed.
int32_t UdpRead(LinkHandle socket, uint8_t* buffer, uint32_t length, uint32_t timeoutMilliseconds);
int32_t UdpWrite(LinkHandle socket, const uint8_t* bytes, uint32_t length);
void UdpClose(LinkHandle socket);
void UdpFlush(LinkHandle socket);

// Tests of lossy lines shorten the flush's wait for quiet; 0 puts the default back.
void SetUdpFlushQuietTime(uint32_t milliseconds);

}  // namespace zentor
