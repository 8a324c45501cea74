#include "target/serial_transport.h"

#include "core/dv_error.h"

#include "platform/clock.h"
#include "platform/serial_port.h"

#include <memory>
#include <vector>

namespace zentor {
namespace {

struct SerialTransportState {
  std::vector<std::unique_ptr<platform::SerialPort>> ports;
  uint32_t echoCount = 0;
  TimeStampSource stampSource = nullptr;
};

SerialTransportState& State() {
  static SerialTransportState state;
  return state;
}

platform::SerialPort* FindPort(LinkHandle handle) {
  for (const auto& port : State().ports) {
    if (port->NativeHandle() == handle) return port.get();
  }
  return nullptr;
}

}  // namespace

// A port that opens but turns out to be no port (or refuses the settings) is closed
// again: the handle would otherwise stay open with nobody to close it.
LinkHandle OpenSerialPort(const char* name, uint32_t baud) {
  auto port = std::make_unique<platform::SerialPort>();
  if (name == nullptr || !port->Open(name)) return kNoLinkHandle;
  if (!port->ConfigureLine(baud)) return kNoLinkHandle;
  platform::SerialTimeouts timeouts;
  timeouts.m_readInterval = kSerialReadInterval;
  timeouts.m_readTotalMultiplier = kSerialReadMultiplier;
  timeouts.m_readTotalConstant = kSerialReadConstant;
  if (!port->SetTimeouts(timeouts)) return kNoLinkHandle;
  const LinkHandle handle = port->NativeHandle();
  State().ports.push_back(std::move(port));
  SetLinkTransport(&SerialRead, &SerialWrite, &SerialClose, &SerialFlush);
  return handle;
}

int32_t SerialRead(LinkHandle handle, uint8_t* buffer, uint32_t length, uint32_t) {
  platform::SerialPort* port = FindPort(handle);
  const int32_t got = port != nullptr ? port->Read(buffer, length) : -1;
  if (got < 0) ZENTOR_INTERNAL_ERROR();
  if (length != 0 && got == 0) return -1;
  return got;
}

int32_t SerialWrite(LinkHandle handle, const uint8_t* bytes, uint32_t length) {
  platform::SerialPort* port = FindPort(handle);
  return port != nullptr ? port->Write(bytes, length) : -1;
}

void SerialClose(LinkHandle handle) {
  auto& ports = State().ports;
  for (auto it = ports.begin(); it != ports.end(); ++it) {
    if ((*it)->NativeHandle() == handle) {
      ports.erase(it);
      return;
    }
  }
}

void SerialFlush(LinkHandle handle) {
  platform::SerialPort* port = FindPort(handle);
  if (port == nullptr || !port->PurgeInput()) ZENTOR_INTERNAL_ERROR();
}

uint32_t TimeOfDayStamp() {
  const platform::TimeOfDay now = platform::CurrentTimeOfDay();
  return static_cast<uint32_t>(now.m_seconds % 256) * 1000u + now.m_milliseconds;
}

// The difference is unsigned: a stamp below the first (the seconds wrapped) ends the
// wait at once.
void WaitByTimeStamp(uint32_t milliseconds, TimeStampSource source) {
  const uint32_t start = source();
  while (source() - start < milliseconds) platform::SleepMilliseconds(1);
}

// The echo counter outlives ports and attempts: one good synchronisation serves the
// whole run, and echoes counted by a failed attempt still count. The bytes go through
// the link's transport (this transport's own operations on a serial link).
uint32_t SynchroniseSerialLine(LinkHandle handle) {
  SerialTransportState& state = State();
  if (state.echoCount != 0) return 1;
  const LinkTransport& transport = TheAgentLink().Transport();
  if (transport.read == nullptr || transport.write == nullptr) return 0;
  const TimeStampSource source = state.stampSource != nullptr ? state.stampSource : &TimeOfDayStamp;
  for (uint32_t attempt = 0; attempt < kSyncTries; ++attempt) {
    const uint8_t sync = kSerialSyncByte;
    transport.write(handle, &sync, 1);
    WaitByTimeStamp(kSyncPauseMilliseconds, source);
    uint8_t echo = 0;
    if (transport.read(handle, &echo, 1, kSerialReadConstant) == 1 && echo == kSerialSyncByte) {
      if (++state.echoCount == kSyncEchoesNeeded) return 1;
    }
  }
  return 0;
}

uint32_t SerialEchoCount() { return State().echoCount; }

void SetSerialTimeStampSource(TimeStampSource source) { State().stampSource = source; }

void ResetSerialTransport() {
  SerialTransportState& state = State();
  state.ports.clear();
  state.echoCount = 0;
  state.stampSource = nullptr;
}

}  // namespace zentor
