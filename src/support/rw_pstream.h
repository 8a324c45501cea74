#pragma once
// RWpostream and RWpistream: the portable text encoding of the virtual streams, over a
// standard iostream. Every item is followed by one space, and a reader skips white
// space before every item, so a stored text can be read, diffed and edited by hand:
//   - integers are decimal text ("-12", "32808"); a reader refuses a number outside
//     the range of the type it reads into;
//   - characters 0x21..0x7E other than '\' are written as themselves; every other
//     character (space, control characters, '\', bytes from 0x7F) as '\' followed by
//     exactly three octal digits ("\040" for a space).
// An object stored through the stream reads ": 32808 { 2 ... }".

#include <iosfwd>

#include "support/rw_vstream.h"

namespace zentor {

class RWpostream : public RWvostream {
 public:
  explicit RWpostream(std::ostream& out) : m_out(out) {}

  bool good() const override;
  bool eof() const override;
  bool fail() const override;
  bool bad() const override;
  void setFail() override;
  void clear() override;

  RWvostream& operator<<(char value) override;
  RWvostream& operator<<(signed char value) override;
  RWvostream& operator<<(unsigned char value) override;
  RWvostream& operator<<(short value) override;
  RWvostream& operator<<(unsigned short value) override;
  RWvostream& operator<<(int value) override;
  RWvostream& operator<<(unsigned int value) override;
  RWvostream& operator<<(long value) override;
  RWvostream& operator<<(unsigned long value) override;
  RWvostream& flush() override;

 private:
  void PutCharacter(unsigned char value);
  void PutSigned(long long value);
  void PutUnsigned(unsigned long long value);

  std::ostream& m_out;
};

class RWpistream : public RWvistream {
 public:
  explicit RWpistream(std::istream& in) : m_in(in) {}

  bool good() const override;
  bool eof() const override;
  bool fail() const override;
  bool bad() const override;
  void setFail() override;
  void clear() override;

  RWvistream& operator>>(char& value) override;
  RWvistream& operator>>(signed char& value) override;
  RWvistream& operator>>(unsigned char& value) override;
  RWvistream& operator>>(short& value) override;
  RWvistream& operator>>(unsigned short& value) override;
  RWvistream& operator>>(int& value) override;
  RWvistream& operator>>(unsigned int& value) override;
  RWvistream& operator>>(long& value) override;
  RWvistream& operator>>(unsigned long& value) override;

 private:
  bool GetCharacter(unsigned char& value);
  bool GetSigned(long long minimum, long long maximum, long long& value);
  bool GetUnsigned(unsigned long long maximum, unsigned long long& value);
  // Skips white space; false (eof and fail set) at the end of input.
  bool SkipSpace();

  std::istream& m_in;
};

}  // namespace zentor
