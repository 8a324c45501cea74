#pragma once
// The serial transport of the agent link: opens a COM port (8N1, binary, the port's
// read time-outs of 33 ms between bytes and 200 ms + 33 ms per byte in all), installs
// its four operations as the link's transport, and synchronises the line before a
// hello: the agent echoes the byte 0x8C, and three echoes make the line good for the
// rest of the program's run. Ports are held here, keyed by their link handle.

#include <cstdint>

#include "target/agent_link.h"

namespace zentor {

// Port time-outs of every open port, in milliseconds.
inline constexpr uint32_t kSerialReadInterval = 33;
inline constexpr uint32_t kSerialReadMultiplier = 33;
inline constexpr uint32_t kSerialReadConstant = 200;

// Line synchronisation: tries, echoes needed, and the pause after each byte sent.
inline constexpr uint32_t kSyncTries = 50;
inline constexpr uint32_t kSyncEchoesNeeded = 3;
inline constexpr uint32_t kSyncPauseMilliseconds = 100;

// Opens and configures the port; the handle, or kNoLinkHandle when the port cannot be
// opened, is no serial port, or refuses the line settings or time-outs.
LinkHandle OpenSerialPort(const char* name, uint32_t baud);
// Reads under the port's time-outs (the time-out argument is not used). Returns the
// bytes read (0 for a read of 0 bytes), or -1 when none came. A failing port is a
// broken link (internal error).
int32_t SerialRead(LinkHandle handle, uint8_t* buffer, uint32_t length, uint32_t timeoutMilliseconds);
int32_t SerialWrite(LinkHandle handle, const uint8_t* bytes, uint32_t length);
void SerialClose(LinkHandle handle);
// Discards pending input; a port that refuses is a broken link (internal error).
void SerialFlush(LinkHandle handle);
// 1 when the line is synchronised (at once once it has been), else 0.
uint32_t SynchroniseSerialLine(LinkHandle handle);

// The wait after each synchronisation byte goes by a time-of-day stamp: (whole seconds
// modulo 256) x 1000 + milliseconds. A stamp that wraps during the wait ends it.
using TimeStampSource = uint32_t (*)();
uint32_t TimeOfDayStamp();
void WaitByTimeStamp(uint32_t milliseconds, TimeStampSource source);

// Synchronisation bytes the agent has echoed so far (it is never reset while the
// program runs).
uint32_t SerialEchoCount();
// Tests: the source of the synchronisation wait's stamps (null: the time of day), and
// back to the start state (ports closed, no echoes counted).
void SetSerialTimeStampSource(TimeStampSource source);
void ResetSerialTransport();

}  // namespace zentor
