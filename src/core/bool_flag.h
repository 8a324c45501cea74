#pragma once
// One flag word, shared by a loop and whoever ends it.

#include <cstdint>

namespace zentor {

class BoolFlag {
 public:
  void Set() { m_word = 1; }
  bool IsSet() const { return m_word != 0; }
  void Clear() { m_word = 0; }

 private:
  uint32_t m_word = 0;
};

}  // namespace zentor
