#pragma once
// The buffered binary file every symbol-file loader reads from. A loader seeks to a
// part of the file and reads fixed-size little-endian values and byte strings from
// it; a read that cannot be satisfied only turns the status bad, and the loader tests
// the status after each read (a failed file ignores further reads until its status is
// set good again). Reads go through two 64 KiB buffers, so the many small reads of a
// symbol walk cost one system call per buffer, and a module's load, which reads both
// its record near the file's start and its symbols and lines further on, finds each
// in a buffer of its own. Copies made with CopyFrom share the open file and its
// buffers but keep their own position and status, so the parts of a loader can each
// read their own place in the file.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace zentor {

class LoaderInputFile {
 public:
  static constexpr uint32_t kBufferSize = 64 * 1024;
  // Statuses.
  static constexpr uint32_t kBad = 0;
  static constexpr uint32_t kGood = 1;
  // Seek origins.
  static constexpr uint32_t kFromStart = 0;
  static constexpr uint32_t kFromCurrent = 1;
  static constexpr uint32_t kFromEnd = 2;

  LoaderInputFile();
  virtual ~LoaderInputFile();
  LoaderInputFile(const LoaderInputFile&) = delete;
  LoaderInputFile& operator=(const LoaderInputFile&) = delete;

  // Shares the other file's open stream; copies its position, open flag and status.
  virtual void CopyFrom(const LoaderInputFile& other);
  // Opens a file for reading by the debugger's spelling of its path (on POSIX the
  // spelling is adapted to the host, see the path adapter). Any file open before is
  // closed first. The open flag and the status become 1 when the file was opened,
  // 0 otherwise (a directory is not a file). Returns the open flag.
  virtual uint32_t Open(const char* name);
  // Status 1; when open, gives up the stream (the last sharer closes it; a failed
  // close makes the status 0); clears the open flag and the position. Returns the
  // status.
  virtual uint32_t Close();

  virtual void SetStatus(uint32_t status);
  virtual uint32_t Status() const;
  virtual void SetGood();
  bool IsOpen() const { return m_open != 0; }
  bool IsGood() const { return m_status == kGood; }

  // Reads `count` bytes at the position. Nothing is read while the file is closed or
  // its status bad. The status becomes 1 when all bytes were read (the position then
  // moves past them) and 0 otherwise (the position stays). Whatever could not be read
  // is zero in the destination.
  void Read(uint8_t* buffer, uint32_t count) { ReadBytes(buffer, count); }
  void Read(char* buffer, uint32_t count) { ReadBytes(buffer, count); }
  void Read(int8_t* buffer, uint32_t count) { ReadBytes(buffer, count); }
  // Fixed-size little-endian values: the same read of their size.
  void Read(uint64_t& value) { value = ReadLittleEndian(8); }
  void Read(int64_t& value) { value = static_cast<int64_t>(ReadLittleEndian(8)); }
  void Read(uint32_t& value) { value = static_cast<uint32_t>(ReadLittleEndian(4)); }
  void Read(int32_t& value) { value = static_cast<int32_t>(static_cast<uint32_t>(ReadLittleEndian(4))); }
  void Read(uint16_t& value) { value = static_cast<uint16_t>(ReadLittleEndian(2)); }
  void Read(int16_t& value) { value = static_cast<int16_t>(static_cast<uint16_t>(ReadLittleEndian(2))); }
  void Read(uint8_t& value) { value = static_cast<uint8_t>(ReadLittleEndian(1)); }
  void Read(int8_t& value) { value = static_cast<int8_t>(static_cast<uint8_t>(ReadLittleEndian(1))); }
  void Read(char& value) { value = static_cast<char>(static_cast<uint8_t>(ReadLittleEndian(1))); }

  // Moves the position (origin 0 the start, 1 the current position, 2 the end). A
  // position before the start or beyond 32 bits, or a closed file, makes the status
  // bad and leaves the position; positions past the end are allowed (reads there
  // fail). The status is not made good by a seek.
  virtual void Seek(int64_t offset, uint32_t origin);
  // The position after the last read or seek.
  virtual uint32_t Tell();

  // The size of the open file in bytes, as it was when the file was opened; false
  // when the file is closed or its size could not be read.
  virtual bool Size(uint64_t& size) const;
  // The modification time of the open file (seconds since 1970); false when it
  // cannot be read.
  virtual bool ModificationTime(int64_t& seconds) const;
  // The host path of the open file ("" when closed).
  const std::string& HostPath() const;

 private:
  struct SharedStream;

  void ReadBytes(void* buffer, uint32_t count);
  uint64_t ReadLittleEndian(uint32_t size);

  std::shared_ptr<SharedStream> m_stream;
  uint32_t m_position = 0;
  uint32_t m_open = 0;
  uint32_t m_status = kBad;
};

}  // namespace zentor
