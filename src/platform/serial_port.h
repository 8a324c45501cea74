#pragma once
// A serial port of the host, owned: the serial transport of the agent link opens one,
// sets its line and its read time-outs and moves raw bytes through it. Reads follow
// the Windows communication time-out rules on every host: a read of n bytes ends when
// n bytes have arrived, when the total time-out (constant + multiplier x n ms) has
// run out, or when more than the interval has passed between two bytes; it returns
// what arrived, which may be nothing. On Windows the port is a COMn device; on POSIX
// a terminal device (termios in raw mode, waits measured with poll).
//
// POSIX names: a name "COMn" (any case, n from 1) stands for the device named by the
// environment variable ZENTOR_COMn when it is set (tests point it at a pseudo-terminal),
// else for /dev/ttyS<n-1>; any other name is taken as a device path.

#include <cstdint>
#include <string>

namespace zentor::platform {

// Fields in the order of the Windows COMMTIMEOUTS record, in milliseconds.
struct SerialTimeouts {
  uint32_t m_readInterval = 0;
  uint32_t m_readTotalMultiplier = 0;
  uint32_t m_readTotalConstant = 0;
  uint32_t m_writeTotalMultiplier = 0;
  uint32_t m_writeTotalConstant = 0;
};

class SerialPort {
 public:
  static constexpr intptr_t kNoHandle = -1;

  SerialPort() = default;
  ~SerialPort() { Close(); }
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens an existing port for reading and writing, not shared. False when there is
  // no such device or it cannot be opened.
  bool Open(const std::string& name);
  // Reads the port's line state and sets the baud rate, 8 data bits, no parity, one
  // stop bit, binary mode and no parity checking; everything else stays. False when
  // the state cannot be read (the device is no serial port) or written (the port's
  // error state is then cleared).
  bool ConfigureLine(uint32_t baudRate);
  // Sets the time-outs. False when the port refuses them.
  bool SetTimeouts(const SerialTimeouts& timeouts);

  // Reads up to `length` bytes under the time-outs. Returns the number read (0 when
  // none came), or -1 when the read itself failed (the device went away).
  int32_t Read(void* buffer, uint32_t length);
  // Writes the bytes; returns the number written, or -1 on failure.
  int32_t Write(const void* bytes, uint32_t length);
  // Discards received bytes not yet read; pending output is kept.
  bool PurgeInput();
  void Close();

  bool IsOpen() const { return m_handle != kNoHandle; }
  // The descriptor (POSIX) or HANDLE (Windows) as a number; kNoHandle when closed.
  intptr_t NativeHandle() const { return m_handle; }

 private:
  intptr_t m_handle = kNoHandle;
  SerialTimeouts m_timeouts;  // POSIX keeps them here; Windows keeps them in the port
};

// The device a port name stands for (see above). Windows: the name itself.
std::string SerialDevicePath(const std::string& name);

}  // namespace zentor::platform
