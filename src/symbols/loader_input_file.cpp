#include "symbols/loader_input_file.h"
#include "core/value_bytes.h"

#include <algorithm>
#include <cstring>

#include "platform/binary_file.h"
#include "platform/file_system.h"
#include "platform/path_adapter.h"

namespace zentor {

// The open file and its read buffers, shared by an input file and its copies. A
// CodeView file keeps its module records together at its start and each module's
// symbols and lines together further on, and a module's load reads from both places:
// so there are two buffers, each holding the bytes of the file from its start on, and
// a refill takes the one used less recently. m_filePosition is where the operating
// system's file stands, so a read that continues where the last one stopped needs no
// seek.
struct LoaderInputFile::SharedStream {
  struct Buffer {
    // Made at its first refill; not cleared: only the bytes a refill brought are ever
    // read.
    std::unique_ptr<uint8_t[]> m_bytes;
    uint64_t m_start = 0;
    uint32_t m_length = 0;
    bool Holds(uint64_t position) const { return position >= m_start && position - m_start < m_length; }
  };

  platform::BinaryFile m_file;
  std::string m_hostPath;
  // Taken when the file is opened: a symbol file does not change while it is read,
  // and the loaders ask for the size before every length they trust.
  int64_t m_size = -1;
  // The size of each buffer: kBufferSize, or the whole file when it is smaller (a
  // small file costs no large buffers).
  uint32_t m_bufferBytes = kBufferSize;
  Buffer m_buffers[2];
  uint32_t m_lastUsed = 0;
  int64_t m_filePosition = -1;

  void SetSize(int64_t size) {
    m_size = size;
    if (size >= 0 && size < kBufferSize) m_bufferBytes = size > 0 ? static_cast<uint32_t>(size) : 1;
  }

  // How much a refill at `position` asks for: a buffer's worth, cut at the end the
  // file had when it was opened (a read that would only meet the end is not made);
  // past that end, a buffer's worth.
  uint32_t RefillCount(uint64_t position) const {
    if (m_size < 0 || position >= static_cast<uint64_t>(m_size)) return m_bufferBytes;
    return static_cast<uint32_t>(std::min<uint64_t>(m_bufferBytes, static_cast<uint64_t>(m_size) - position));
  }

  // Reads at most `count` bytes at `position` from the file itself; the number read.
  size_t ReadFromFile(uint64_t position, uint8_t* out, size_t count) {
    if (m_filePosition != static_cast<int64_t>(position)) {
      if (m_file.Seek(static_cast<int64_t>(position), platform::SeekOrigin::Begin) < 0) {
        m_filePosition = -1;
        return 0;
      }
    }
    const size_t got = m_file.Read(out, count);
    m_filePosition = static_cast<int64_t>(position + got);
    return got;
  }

  // `count` bytes at `position`: from a buffer where one holds them, a large rest
  // straight from the file, a small rest through a refill of a buffer.
  bool ReadAt(uint64_t position, uint8_t* out, uint32_t count) {
    while (count > 0) {
      uint32_t which = m_lastUsed;
      if (!m_buffers[which].Holds(position)) which ^= 1;
      Buffer& buffer = m_buffers[which];
      if (buffer.Holds(position)) {
        const uint32_t offset = static_cast<uint32_t>(position - buffer.m_start);
        const uint32_t take = std::min(count, buffer.m_length - offset);
        std::memcpy(out, buffer.m_bytes.get() + offset, take);
        out += take;
        position += take;
        count -= take;
        m_lastUsed = which;
        continue;
      }
      if (count >= m_bufferBytes) return ReadFromFile(position, out, count) == count;
      Buffer& refill = m_buffers[m_lastUsed ^ 1];
      if (refill.m_bytes == nullptr) refill.m_bytes.reset(new uint8_t[m_bufferBytes]);
      refill.m_start = position;
      refill.m_length = static_cast<uint32_t>(ReadFromFile(position, refill.m_bytes.get(), RefillCount(position)));
      if (refill.m_length == 0) return false;
    }
    return true;
  }
};

LoaderInputFile::LoaderInputFile() = default;

LoaderInputFile::~LoaderInputFile() { Close(); }

void LoaderInputFile::CopyFrom(const LoaderInputFile& other) {
  if (this == &other) return;
  m_stream = other.m_stream;
  m_position = other.m_position;
  m_open = other.m_open;
  m_status = other.m_status;
}

uint32_t LoaderInputFile::Open(const char* name) {
  if (m_open != 0) Close();
  m_open = 0;
  m_status = kBad;
  m_position = 0;
  if (name == nullptr || *name == '\0') return m_open;
  const std::string hostPath = platform::ResolveHostPath(name);
  if (hostPath.empty()) return m_open;
  auto stream = std::make_shared<SharedStream>();
  // A directory does not open as a file of bytes.
  if (!stream->m_file.Open(hostPath, platform::FileOpenMode::ReadOnly)) return m_open;
  stream->m_hostPath = hostPath;
  stream->SetSize(stream->m_file.Size());
  stream->m_filePosition = 0;
  m_stream = std::move(stream);
  m_open = 1;
  m_status = kGood;
  return m_open;
}

uint32_t LoaderInputFile::Close() {
  m_status = kGood;
  if (m_open != 0 && m_stream != nullptr) {
    // The last sharer closes the file; the others only let go of it.
    if (m_stream.use_count() == 1 && !m_stream->m_file.Close()) m_status = kBad;
  }
  m_stream.reset();
  m_open = 0;
  m_position = 0;
  return m_status;
}

void LoaderInputFile::SetStatus(uint32_t status) { m_status = status; }

uint32_t LoaderInputFile::Status() const { return m_status; }

void LoaderInputFile::SetGood() { m_status = kGood; }

void LoaderInputFile::ReadBytes(void* buffer, uint32_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  if (m_open == 0 || m_status != kGood || m_stream == nullptr) {
    if (count > 0) std::memset(out, 0, count);
    return;
  }
  // A position past 32 bits cannot be recorded, so such a read fails as a whole.
  const uint64_t end = static_cast<uint64_t>(m_position) + count;
  if (end > UINT32_MAX || !m_stream->ReadAt(m_position, out, count)) {
    if (count > 0) std::memset(out, 0, count);
    m_status = kBad;
    return;
  }
  m_position = static_cast<uint32_t>(end);
  m_status = kGood;
}

uint64_t LoaderInputFile::ReadLittleEndian(uint32_t size) {
  uint8_t bytes[8] = {};
  ReadBytes(bytes, size);
  return value_bytes::LoadUnsigned(bytes, size);
}

void LoaderInputFile::Seek(int64_t offset, uint32_t origin) {
  if (m_open == 0 || m_stream == nullptr) {
    m_status = kBad;
    return;
  }
  int64_t base = 0;
  switch (origin) {
    case kFromStart:
      base = 0;
      break;
    case kFromCurrent:
      base = m_position;
      break;
    case kFromEnd: {
      const int64_t size = m_stream->m_size;
      if (size < 0) {
        m_status = kBad;
        return;
      }
      base = size;
      break;
    }
    default:
      m_status = kBad;
      return;
  }
  // Offsets come from files: keep the sum away from overflow before forming it.
  if ((offset > 0 && offset > INT64_MAX - base) || base + offset < 0 ||
      base + offset > static_cast<int64_t>(UINT32_MAX)) {
    m_status = kBad;
    return;
  }
  m_position = static_cast<uint32_t>(base + offset);
}

uint32_t LoaderInputFile::Tell() { return m_position; }

bool LoaderInputFile::Size(uint64_t& size) const {
  if (m_open == 0 || m_stream == nullptr) return false;
  const int64_t bytes = m_stream->m_size;
  if (bytes < 0) return false;
  size = static_cast<uint64_t>(bytes);
  return true;
}

bool LoaderInputFile::ModificationTime(int64_t& seconds) const {
  if (m_open == 0 || m_stream == nullptr) return false;
  const platform::FileStatus status = platform::StatFile(m_stream->m_hostPath);
  if (!status.m_exists) return false;
  seconds = status.m_modifiedTime;
  return true;
}

const std::string& LoaderInputFile::HostPath() const {
  static const std::string kNone;
  return m_stream != nullptr ? m_stream->m_hostPath : kNone;
}

}  // namespace zentor
