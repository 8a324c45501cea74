#pragma once
// RWFile: the class library's binary file. A named file opened for update through the
// C library's buffered files, with typed reads and writes of fixed-size values in
// little-endian byte order. Persistence writes collectables through it and the symbol
// tables open one to probe a file.
//
// Sizes on the file are fixed whatever the host: char 1 byte, short 2, int and long 4,
// float 4, double 8. On a host whose long is 8 bytes the long overloads convert to and
// from 4-byte values; a long that does not fit in 32 bits is refused (false, nothing
// written) rather than cut.
//
// No operation raises an error: each reports failure through its result. A file that
// failed to open (isValid false) answers every read, write and position operation
// with failure instead of touching a null handle.

#include <cstddef>
#include <cstdio>
#include <string>

namespace zentor {

class RWFile {
 public:
  // Capacity of a caller's buffer for the string read, spelled out at the call so a
  // string read can never be confused with the read of a character array.
  struct Capacity {
    explicit Capacity(size_t bytes) : m_bytes(bytes) {}
    size_t m_bytes;
  };

  // With no mode: "rb+" (update an existing file), and when that fails "wb+" (create
  // or truncate). With a mode: that mode only. A failed open leaves isValid false.
  explicit RWFile(const char* name, const char* mode = nullptr);
  ~RWFile();
  RWFile(const RWFile&) = delete;
  RWFile& operator=(const RWFile&) = delete;

  const char* GetName() const { return m_name.c_str(); }
  bool isValid() const { return m_file != nullptr; }

  bool Exists() const;
  static bool Exists(const char* name);

  // One value; true when the whole value was read.
  bool Read(char& value);
  bool Read(signed char& value);
  bool Read(unsigned char& value);
  bool Read(short& value);
  bool Read(unsigned short& value);
  bool Read(int& value);
  bool Read(unsigned int& value);
  bool Read(long& value);
  bool Read(unsigned long& value);
  bool Read(float& value);
  bool Read(double& value);

  // Arrays of count values; true when all count values were read.
  bool Read(char* values, size_t count);
  bool Read(signed char* values, size_t count);
  bool Read(unsigned char* values, size_t count);
  bool Read(short* values, size_t count);
  bool Read(unsigned short* values, size_t count);
  bool Read(int* values, size_t count);
  bool Read(unsigned int* values, size_t count);
  bool Read(long* values, size_t count);
  bool Read(unsigned long* values, size_t count);
  bool Read(float* values, size_t count);
  bool Read(double* values, size_t count);

  // The string read: consumes characters up to and including a NUL, or to the end of
  // the file, and stores at most capacity - 1 of them followed by a NUL. The whole
  // string is always consumed, so the file stays positioned after it even when it did
  // not fit. True only when the whole string was stored; false when it was cut (the
  // buffer then holds its first capacity - 1 characters), when the file ended before
  // any character was read (the buffer holds ""), on a read error, or for a capacity
  // of 0 (nothing is stored).
  bool Read(char* string, Capacity capacity);
  template <size_t N>
  bool Read(char (&string)[N]) {
    return Read(string, Capacity(N));
  }

  bool Write(char value);
  bool Write(signed char value);
  bool Write(unsigned char value);
  bool Write(short value);
  bool Write(unsigned short value);
  bool Write(int value);
  bool Write(unsigned int value);
  bool Write(long value);
  bool Write(unsigned long value);
  bool Write(float value);
  bool Write(double value);

  bool Write(const char* values, size_t count);
  bool Write(const signed char* values, size_t count);
  bool Write(const unsigned char* values, size_t count);
  bool Write(const short* values, size_t count);
  bool Write(const unsigned short* values, size_t count);
  bool Write(const int* values, size_t count);
  bool Write(const unsigned int* values, size_t count);
  bool Write(const long* values, size_t count);
  bool Write(const unsigned long* values, size_t count);
  bool Write(const float* values, size_t count);
  bool Write(const double* values, size_t count);

  // Writes the characters of a NUL-terminated string and its NUL (length + 1 bytes).
  // A null pointer writes nothing and answers false.
  bool Write(const char* string);

  long CurOffset();  // -1 when it cannot be told
  bool Eof() const;
  bool Error() const;
  // Closes the file, deletes it and opens it again empty with "wb+".
  bool Erase();
  bool Flush();
  // True when the file holds no bytes, counting bytes still in the write buffer.
  bool IsEmpty();
  bool SeekTo(long offset);
  bool SeekToEnd();

 private:
  enum class LastAccess { None, Read, Write };

  // The C library needs a positioning call between a write and a following read on
  // a file open for update (and the reverse); these insert it when the direction
  // changes.
  bool PrepareRead();
  bool PrepareWrite();

  bool ReadBytes(unsigned char* bytes, size_t count);
  bool WriteBytes(const unsigned char* bytes, size_t count);

  template <typename Wire, size_t Size, typename Host>
  bool ReadValues(Host* values, size_t count);
  template <typename Wire, size_t Size, typename Host>
  bool WriteValues(const Host* values, size_t count);

  std::string m_name;
  std::FILE* m_file = nullptr;
  LastAccess m_lastAccess = LastAccess::None;
};

}  // namespace zentor
