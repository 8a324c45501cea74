#pragma once
// An open file of bytes, owned: the file is closed when the object goes. It is the
// program's one way to the operating system's files (class-library binary files, the
// symbol table's page file, the settings store, memory saves, temporary files).
// Positions and sizes are 64-bit; every call reports failure instead of throwing.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zentor::platform {

enum class FileOpenMode {
  ReadOnly,         // an existing file, read only
  ReadWrite,        // an existing file, read and write
  CreateReadWrite,  // created, or emptied when it exists; read and write
  OpenOrCreate,     // an existing file as it is, or a new empty one; read and write
};

enum class SeekOrigin { Begin, Current, End };

class BinaryFile {
 public:
  BinaryFile() = default;
  BinaryFile(const std::string& path, FileOpenMode mode) { Open(path, mode); }
  ~BinaryFile() { Close(); }
  BinaryFile(const BinaryFile&) = delete;
  BinaryFile& operator=(const BinaryFile&) = delete;
  BinaryFile(BinaryFile&& other) noexcept;
  BinaryFile& operator=(BinaryFile&& other) noexcept;

  // Closes any file already open, then opens `path`. Returns false (and stays closed)
  // when the file cannot be opened in that mode.
  bool Open(const std::string& path, FileOpenMode mode);
  // Closes any file already open, then creates a new empty file with a name no other
  // file has, in `directory` (the temporary directory when empty), whose name starts
  // with `prefix`, and keeps it open for reading and writing (Path() names it).
  // Returns false (and stays closed) when none could be created; the caller removes
  // the file.
  bool CreateTemporary(const std::string& prefix, const std::string& directory = "");
  // Returns false when the operating system reported an error while closing.
  bool Close();
  bool IsOpen() const { return m_handle != kNoHandle; }
  bool IsWritable() const { return IsOpen() && m_mode != FileOpenMode::ReadOnly; }
  const std::string& Path() const { return m_path; }

  // Reads up to `count` bytes at the current position; fewer at the end of the file or
  // on an error. Returns the number read.
  size_t Read(void* buffer, size_t count);
  // Writes `count` bytes at the current position (the file grows as needed). Returns
  // the number written, fewer only on an error.
  size_t Write(const void* buffer, size_t count);
  // Moves the position; a position before the start is refused. Returns the new
  // position, or -1 when refused. Positions past the end are allowed; a write there
  // fills the gap with zeros.
  int64_t Seek(int64_t offset, SeekOrigin origin);
  // The current position, or -1 when the file is not open.
  int64_t Tell() const;
  // The file's size in bytes, or -1 when it is not open.
  int64_t Size() const;
  // Sets the file's size (cutting or zero-extending); the position is not moved.
  bool Truncate(int64_t size);
  // Hands written data to the operating system's storage.
  bool Flush();

 private:
  static constexpr intptr_t kNoHandle = -1;
  intptr_t m_handle = kNoHandle;  // a descriptor on POSIX, a HANDLE on Windows
  FileOpenMode m_mode = FileOpenMode::ReadOnly;
  std::string m_path;
};

}  // namespace zentor::platform
