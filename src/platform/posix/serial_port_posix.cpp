#include "platform/serial_port.h"

#include "platform/clock.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace zentor::platform {
namespace {

int Fd(intptr_t handle) { return static_cast<int>(handle); }

speed_t SpeedOf(uint32_t baudRate) {
  switch (baudRate) {
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B38400;  // as a Windows port does with a rate it cannot set
  }
}

// Milliseconds left until `deadline` (microseconds on the monotonic clock), 0 when
// it has passed.
int MillisecondsUntil(uint64_t deadline) {
  const uint64_t now = MonotonicMicroseconds();
  if (now >= deadline) return 0;
  return static_cast<int>((deadline - now + 999) / 1000);
}

}  // namespace

std::string SerialDevicePath(const std::string& name) {
  if (name.size() < 4 || std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
      std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
      std::toupper(static_cast<unsigned char>(name[2])) != 'M') {
    return name;
  }
  unsigned long number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i])) || number > 9999) return name;
    number = number * 10 + static_cast<unsigned long>(name[i] - '0');
  }
  if (number == 0) return name;
  const std::string variable = "ZENTOR_COM" + std::to_string(number);
  if (const char* mapped = std::getenv(variable.c_str()); mapped != nullptr && *mapped != '\0') return mapped;
  return "/dev/ttyS" + std::to_string(number - 1);
}

bool SerialPort::Open(const std::string& name) {
  Close();
  const std::string path = SerialDevicePath(name);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  m_handle = fd;
  m_timeouts = SerialTimeouts{};
  return true;
}

bool SerialPort::ConfigureLine(uint32_t baudRate) {
  termios line{};
  if (!IsOpen() || tcgetattr(Fd(m_handle), &line) != 0) return false;
  cfmakeraw(&line);
  cfsetispeed(&line, SpeedOf(baudRate));
  cfsetospeed(&line, SpeedOf(baudRate));
  line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  line.c_cflag |= CS8 | CLOCAL | CREAD;
  line.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF);
  if (tcsetattr(Fd(m_handle), TCSANOW, &line) != 0) {
    tcflush(Fd(m_handle), TCIOFLUSH);
    return false;
  }
  return true;
}

bool SerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
  if (!IsOpen()) return false;
  m_timeouts = timeouts;
  return true;
}

// The Windows rules: the total time-out runs from the start of the read; the interval
// time-out starts with the first byte and restarts with each one. Zero fields switch
// their limit off. A limit ends the read only when a look made after it found nothing:
// a reader that was not scheduled for a while still takes the bytes that came in time,
// as a port's driver would have kept them.
int32_t SerialPort::Read(void* buffer, uint32_t length) {
  if (!IsOpen()) return -1;
  auto* bytes = static_cast<uint8_t*>(buffer);
  const uint64_t start = MonotonicMicroseconds();
  const uint64_t total = static_cast<uint64_t>(m_timeouts.m_readTotalConstant) +
                         static_cast<uint64_t>(m_timeouts.m_readTotalMultiplier) * length;
  const bool totalLimited = total != 0;
  const uint64_t totalDeadline = start + total * 1000u;
  uint64_t intervalDeadline = 0;
  uint32_t got = 0;
  while (got < length) {
    const uint64_t looked = MonotonicMicroseconds();
    const ssize_t n = ::read(Fd(m_handle), bytes + got, length - got);
    if (n > 0) {
      got += static_cast<uint32_t>(n);
      if (m_timeouts.m_readInterval != 0) {
        intervalDeadline = MonotonicMicroseconds() + static_cast<uint64_t>(m_timeouts.m_readInterval) * 1000u;
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return -1;
    if (n == 0) return -1;  // end of file: the other side of the line is gone
    const bool intervalLimited = got > 0 && intervalDeadline != 0;
    if ((totalLimited && looked >= totalDeadline) || (intervalLimited && looked >= intervalDeadline)) break;
    int wait = -1;
    if (totalLimited) wait = MillisecondsUntil(totalDeadline);
    if (intervalLimited) {
      const int interval = MillisecondsUntil(intervalDeadline);
      wait = wait < 0 ? interval : std::min(wait, interval);
    }
    pollfd ready{Fd(m_handle), POLLIN, 0};
    const int result = ::poll(&ready, 1, wait);
    if (result < 0 && errno != EINTR) return -1;
    if (result > 0 && (ready.revents & (POLLERR | POLLNVAL)) != 0) return -1;
  }
  return static_cast<int32_t>(got);
}

int32_t SerialPort::Write(const void* bytes, uint32_t length) {
  if (!IsOpen()) return -1;
  const auto* data = static_cast<const uint8_t*>(bytes);
  uint32_t written = 0;
  while (written < length) {
    const ssize_t n = ::write(Fd(m_handle), data + written, length - written);
    if (n > 0) {
      written += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // Writes are not timed: wait until the line takes more.
      pollfd ready{Fd(m_handle), POLLOUT, 0};
      if (::poll(&ready, 1, -1) < 0 && errno != EINTR) return -1;
      continue;
    }
    return -1;
  }
  return static_cast<int32_t>(written);
}

bool SerialPort::PurgeInput() { return IsOpen() && tcflush(Fd(m_handle), TCIFLUSH) == 0; }

void SerialPort::Close() {
  if (!IsOpen()) return;
  ::close(Fd(m_handle));
  m_handle = kNoHandle;
}

}  // namespace zentor::platform
