#include "support/rw_vstream.h"

namespace zentor {

RWvostream& RWvostream::put(const char* chars, size_t n) {
  for (size_t i = 0; i < n; ++i) *this << chars[i];
  return *this;
}

bool RWvistream::get(char* chars, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    *this >> chars[i];
    if (fail()) return false;
  }
  return true;
}

}  // namespace zentor
