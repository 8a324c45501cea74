#include "support/rw_file.h"

#include "support/little_endian.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>
#include <type_traits>

namespace zentor {

namespace {

// Values go through the file in blocks of this many bytes, so no count is ever
// multiplied into a byte size that could overflow.
constexpr size_t kBlockBytes = 1024;

template <size_t Size>
using WireWord = std::conditional_t<Size == 1, uint8_t,
                                    std::conditional_t<Size == 2, uint16_t,
                                                       std::conditional_t<Size == 4, uint32_t, uint64_t>>>;

// True when the host value keeps its value in Size bytes on the file. Only the long
// overloads of a 64-bit host can fail this.
template <size_t Size, typename Host>
bool FitsOnFile(Host value) {
  if constexpr (std::is_floating_point_v<Host> || sizeof(Host) <= Size) {
    return true;
  } else if constexpr (std::is_signed_v<Host>) {
    constexpr int64_t kLow = -(int64_t{1} << (Size * 8 - 1));
    constexpr int64_t kHigh = (int64_t{1} << (Size * 8 - 1)) - 1;
    return static_cast<int64_t>(value) >= kLow && static_cast<int64_t>(value) <= kHigh;
  } else {
    return static_cast<uint64_t>(value) <= (uint64_t{1} << (Size * 8)) - 1;
  }
}

template <size_t Size, typename Host>
void EncodeLittleEndian(Host value, unsigned char* out) {
  uint64_t raw;
  if constexpr (std::is_floating_point_v<Host>) {
    static_assert(sizeof(Host) == Size);
    raw = std::bit_cast<WireWord<Size>>(value);
  } else {
    raw = static_cast<uint64_t>(value);
  }
  value_bytes::StoreUnsigned(out, raw, Size);
}

template <size_t Size, typename Host>
Host DecodeLittleEndian(const unsigned char* in) {
  uint64_t raw = value_bytes::LoadUnsigned(in, Size);
  if constexpr (std::is_floating_point_v<Host>) {
    return std::bit_cast<Host>(static_cast<WireWord<Size>>(raw));
  } else if constexpr (std::is_signed_v<Host>) {
    // Sign-extend from the file's width to the host's.
    if constexpr (Size < 8) {
      const uint64_t signBit = uint64_t{1} << (Size * 8 - 1);
      if (raw & signBit) raw |= ~((signBit << 1) - 1);
    }
    return static_cast<Host>(static_cast<int64_t>(raw));
  } else {
    return static_cast<Host>(raw);
  }
}

}  // namespace

RWFile::RWFile(const char* name, const char* mode) : m_name(name ? name : "") {
  if (name == nullptr) return;
  if (mode != nullptr) {
    m_file = std::fopen(name, mode);
  } else {
    m_file = std::fopen(name, "rb+");
    if (m_file == nullptr) m_file = std::fopen(name, "wb+");
  }
}

RWFile::~RWFile() {
  if (m_file != nullptr) std::fclose(m_file);
}

bool RWFile::Exists() const { return Exists(m_name.c_str()); }

bool RWFile::Exists(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  std::error_code error;
  return std::filesystem::exists(std::filesystem::path(name), error);
}

bool RWFile::PrepareRead() {
  if (m_file == nullptr) return false;
  if (m_lastAccess == LastAccess::Write && std::fseek(m_file, 0, SEEK_CUR) != 0) return false;
  m_lastAccess = LastAccess::Read;
  return true;
}

bool RWFile::PrepareWrite() {
  if (m_file == nullptr) return false;
  if (m_lastAccess == LastAccess::Read && std::fseek(m_file, 0, SEEK_CUR) != 0) return false;
  m_lastAccess = LastAccess::Write;
  return true;
}

bool RWFile::ReadBytes(unsigned char* bytes, size_t count) {
  if (!PrepareRead()) return false;
  if (count == 0) return true;
  if (bytes == nullptr) return false;
  return std::fread(bytes, 1, count, m_file) == count;
}

bool RWFile::WriteBytes(const unsigned char* bytes, size_t count) {
  if (!PrepareWrite()) return false;
  if (count == 0) return true;
  if (bytes == nullptr) return false;
  return std::fwrite(bytes, 1, count, m_file) == count;
}

template <typename Wire, size_t Size, typename Host>
bool RWFile::ReadValues(Host* values, size_t count) {
  static_assert(sizeof(Wire) >= Size);
  if (!PrepareRead()) return false;
  if (count == 0) return true;
  if (values == nullptr) return false;
  unsigned char block[kBlockBytes];
  constexpr size_t kPerBlock = kBlockBytes / Size;
  size_t done = 0;
  while (done < count) {
    size_t want = count - done < kPerBlock ? count - done : kPerBlock;
    size_t got = std::fread(block, Size, want, m_file);
    for (size_t i = 0; i < got; ++i) values[done + i] = DecodeLittleEndian<Size, Host>(block + i * Size);
    done += got;
    if (got != want) return false;
  }
  return true;
}

template <typename Wire, size_t Size, typename Host>
bool RWFile::WriteValues(const Host* values, size_t count) {
  if (!PrepareWrite()) return false;
  if (count == 0) return true;
  if (values == nullptr) return false;
  // Refuse the whole array before writing any of it, so a refused write leaves the
  // file as it was.
  for (size_t i = 0; i < count; ++i) {
    if (!FitsOnFile<Size>(values[i])) return false;
  }
  unsigned char block[kBlockBytes];
  constexpr size_t kPerBlock = kBlockBytes / Size;
  size_t done = 0;
  while (done < count) {
    size_t want = count - done < kPerBlock ? count - done : kPerBlock;
    for (size_t i = 0; i < want; ++i) EncodeLittleEndian<Size>(values[done + i], block + i * Size);
    if (std::fwrite(block, Size, want, m_file) != want) return false;
    done += want;
  }
  return true;
}

// The sizes on the file: 1, 2, 4, 4 (also for an 8-byte host long), 4 and 8.
#define ZENTOR_RWFILE_TYPE(Host, Size)                                                             \
  bool RWFile::Read(Host& value) { return ReadValues<WireWord<Size>, Size>(&value, 1); }           \
  bool RWFile::Read(Host* values, size_t count) { return ReadValues<WireWord<Size>, Size>(values, count); } \
  bool RWFile::Write(Host value) { return WriteValues<WireWord<Size>, Size>(&value, 1); }          \
  bool RWFile::Write(const Host* values, size_t count) {                                           \
    return WriteValues<WireWord<Size>, Size>(values, count);                                       \
  }

ZENTOR_RWFILE_TYPE(char, 1)
ZENTOR_RWFILE_TYPE(signed char, 1)
ZENTOR_RWFILE_TYPE(unsigned char, 1)
ZENTOR_RWFILE_TYPE(short, 2)
ZENTOR_RWFILE_TYPE(unsigned short, 2)
ZENTOR_RWFILE_TYPE(int, 4)
ZENTOR_RWFILE_TYPE(unsigned int, 4)
ZENTOR_RWFILE_TYPE(long, 4)
ZENTOR_RWFILE_TYPE(unsigned long, 4)
ZENTOR_RWFILE_TYPE(float, 4)
ZENTOR_RWFILE_TYPE(double, 8)
#undef ZENTOR_RWFILE_TYPE

bool RWFile::Read(char* string, Capacity capacity) {
  if (!PrepareRead() || string == nullptr) return false;
  size_t stored = 0;
  size_t consumed = 0;
  bool cut = capacity.m_bytes == 0;
  for (;;) {
    int c = std::getc(m_file);
    if (c == EOF) break;
    ++consumed;
    if (c == '\0') break;
    // One byte of the buffer is kept for the terminating NUL.
    if (stored + 1 < capacity.m_bytes) {
      string[stored++] = static_cast<char>(c);
    } else {
      cut = true;
    }
  }
  if (capacity.m_bytes > 0) string[stored] = '\0';
  if (std::ferror(m_file)) return false;
  return !cut && consumed > 0;
}

bool RWFile::Write(const char* string) {
  if (string == nullptr) {
    return false;
  }
  return WriteBytes(reinterpret_cast<const unsigned char*>(string), std::strlen(string) + 1);
}

long RWFile::CurOffset() {
  if (m_file == nullptr) return -1;
  return std::ftell(m_file);
}

bool RWFile::Eof() const { return m_file == nullptr || std::feof(m_file) != 0; }

bool RWFile::Error() const { return m_file == nullptr || std::ferror(m_file) != 0; }

bool RWFile::Erase() {
  if (m_file != nullptr) {
    int closed = std::fclose(m_file);
    m_file = nullptr;
    m_lastAccess = LastAccess::None;
    if (closed != 0) return false;
  }
  if (std::remove(m_name.c_str()) != 0) return false;
  m_file = std::fopen(m_name.c_str(), "wb+");
  return m_file != nullptr;
}

bool RWFile::Flush() { return m_file != nullptr && std::fflush(m_file) == 0; }

bool RWFile::IsEmpty() {
  if (m_file == nullptr) return false;
  // Measured through the stream so bytes still in the write buffer count.
  long here = std::ftell(m_file);
  if (here < 0 || std::fseek(m_file, 0, SEEK_END) != 0) return false;
  long size = std::ftell(m_file);
  std::fseek(m_file, here, SEEK_SET);
  m_lastAccess = LastAccess::None;
  return size == 0;
}

bool RWFile::SeekTo(long offset) {
  if (m_file == nullptr || offset < 0) return false;
  m_lastAccess = LastAccess::None;
  return std::fseek(m_file, offset, SEEK_SET) == 0;
}

bool RWFile::SeekToEnd() {
  if (m_file == nullptr) return false;
  m_lastAccess = LastAccess::None;
  return std::fseek(m_file, 0, SEEK_END) == 0;
}

}  // namespace zentor
