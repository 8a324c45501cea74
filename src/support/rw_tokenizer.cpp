#include "support/rw_tokenizer.h"

#include <cstring>

namespace zentor {

namespace {
constexpr const char* kWhiteDelimiters = " \t\n";
}  // namespace

RWCTokenizer::RWCTokenizer(const RWCString& text) : m_text(text), m_position(0), m_started(false) {}

RWCSubString RWCTokenizer::operator()() { return (*this)(kWhiteDelimiters); }

// The scan position is an index, not a pointer: writing through a returned token may
// give the copy a new body.
RWCSubString RWCTokenizer::operator()(const char* delimiters) {
  if (delimiters == nullptr) delimiters = kWhiteDelimiters;
  if (!m_started) {
    m_started = true;
    m_position = 0;
  }
  const char* chars = m_text.data();
  uint32_t length = m_text.length();
  while (m_position < length) {
    m_position += static_cast<uint32_t>(std::strspn(chars + m_position, delimiters));
    auto run = static_cast<uint32_t>(std::strcspn(chars + m_position, delimiters));
    if (run != 0) {
      uint32_t start = m_position;
      m_position += run;
      return RWCSubString(m_text, start, run);
    }
    ++m_position;  // at a NUL: embedded, or the terminator
  }
  return RWCSubString(m_text, RW_NPOS, 0);
}

}  // namespace zentor
