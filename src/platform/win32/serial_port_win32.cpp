#include "platform/serial_port.h"

#include <windows.h>

namespace zentor::platform {
namespace {

HANDLE Native(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

std::string SerialDevicePath(const std::string& name) { return name; }

bool SerialPort::Open(const std::string& name) {
  Close();
  HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  m_handle = reinterpret_cast<intptr_t>(handle);
  return true;
}

bool SerialPort::ConfigureLine(uint32_t baudRate) {
  DCB line{};
  line.DCBlength = sizeof line;
  // Wine opens a stub device for a COM port whose mapped path is missing; only the
  // state query tells that it is no port.
  if (!IsOpen() || !GetCommState(Native(m_handle), &line)) return false;
  line.BaudRate = baudRate;
  line.ByteSize = 8;
  line.Parity = NOPARITY;
  line.StopBits = ONESTOPBIT;
  line.fBinary = TRUE;
  line.fParity = FALSE;
  if (!SetCommState(Native(m_handle), &line)) {
    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(Native(m_handle), &errors, &status);
    return false;
  }
  return true;
}

bool SerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
  COMMTIMEOUTS current{};
  if (!IsOpen() || !GetCommTimeouts(Native(m_handle), &current)) return false;
  COMMTIMEOUTS wanted{};
  wanted.ReadIntervalTimeout = timeouts.m_readInterval;
  wanted.ReadTotalTimeoutMultiplier = timeouts.m_readTotalMultiplier;
  wanted.ReadTotalTimeoutConstant = timeouts.m_readTotalConstant;
  wanted.WriteTotalTimeoutMultiplier = timeouts.m_writeTotalMultiplier;
  wanted.WriteTotalTimeoutConstant = timeouts.m_writeTotalConstant;
  if (!SetCommTimeouts(Native(m_handle), &wanted)) return false;
  m_timeouts = timeouts;
  return true;
}

int32_t SerialPort::Read(void* buffer, uint32_t length) {
  DWORD got = 0;
  if (!IsOpen() || !ReadFile(Native(m_handle), buffer, length, &got, nullptr)) return -1;
  return static_cast<int32_t>(got);
}

int32_t SerialPort::Write(const void* bytes, uint32_t length) {
  DWORD written = 0;
  if (!IsOpen() || !WriteFile(Native(m_handle), bytes, length, &written, nullptr)) return -1;
  return static_cast<int32_t>(written);
}

bool SerialPort::PurgeInput() { return IsOpen() && PurgeComm(Native(m_handle), PURGE_RXCLEAR) != 0; }

void SerialPort::Close() {
  if (!IsOpen()) return;
  CloseHandle(Native(m_handle));
  m_handle = kNoHandle;
}

}  // namespace zentor::platform
