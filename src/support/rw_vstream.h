#pragma once
// The class library's virtual streams: abstract sinks and sources of characters and
// integers that persistence writes collectables to without knowing the encoding.
// RWpostream/RWpistream (rw_pstream.h) are the portable text pair over the standard
// iostreams.

#include <cstddef>

namespace zentor {

// The state every virtual stream reports, in the standard streams' terms.
class RWvios {
 public:
  virtual ~RWvios() = default;
  virtual bool good() const = 0;
  virtual bool eof() const = 0;
  virtual bool fail() const = 0;  // a failed operation or a bad stream
  virtual bool bad() const = 0;
  // Marks the last operation as failed (a format the reader did not expect).
  virtual void setFail() = 0;
  // Forgets every error and end-of-input indication.
  virtual void clear() = 0;
  explicit operator bool() const { return !fail(); }
};

class RWvostream : public RWvios {
 public:
  virtual RWvostream& operator<<(char value) = 0;
  virtual RWvostream& operator<<(signed char value) = 0;
  virtual RWvostream& operator<<(unsigned char value) = 0;
  virtual RWvostream& operator<<(short value) = 0;
  virtual RWvostream& operator<<(unsigned short value) = 0;
  virtual RWvostream& operator<<(int value) = 0;
  virtual RWvostream& operator<<(unsigned int value) = 0;
  virtual RWvostream& operator<<(long value) = 0;
  virtual RWvostream& operator<<(unsigned long value) = 0;
  virtual RWvostream& flush() = 0;

  // n characters, one insertion each.
  RWvostream& put(const char* chars, size_t n);
};

class RWvistream : public RWvios {
 public:
  // Each extraction leaves the target unchanged and sets the fail state (and eof at
  // the end of input) when no value of the type can be read.
  virtual RWvistream& operator>>(char& value) = 0;
  virtual RWvistream& operator>>(signed char& value) = 0;
  virtual RWvistream& operator>>(unsigned char& value) = 0;
  virtual RWvistream& operator>>(short& value) = 0;
  virtual RWvistream& operator>>(unsigned short& value) = 0;
  virtual RWvistream& operator>>(int& value) = 0;
  virtual RWvistream& operator>>(unsigned int& value) = 0;
  virtual RWvistream& operator>>(long& value) = 0;
  virtual RWvistream& operator>>(unsigned long& value) = 0;

  // n characters, one extraction each; stops at the first failure. True when all n
  // were read.
  bool get(char* chars, size_t n);
};

}  // namespace zentor
