#include "support/rw_regex.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "support/rw_messages.h"

namespace zentor {

namespace {

constexpr uint32_t kMaxCodesBeforeEnd = RWCRegexp::kProgramCodes - 1;  // room must stay for END
constexpr uint32_t kNoElement = 0xFFFFFFFFu;

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsOctal(unsigned char c) { return c >= '0' && c <= '7'; }

// Reads one pattern character at p, which may be a backslash escape, and advances p
// past it. The value is taken modulo 256.
unsigned ReadPatternChar(const unsigned char*& p) {
  if (*p != '\\') return *p++;
  ++p;
  if (*p == '\0') return '\\';  // a trailing backslash stands for itself and ends the pattern
  unsigned char escaped = *p++;
  switch (std::toupper(escaped)) {
    case 'B': return 0x08;
    case 'E': return 0x1B;
    case 'F': return 0x0C;
    case 'N': return 0x0A;
    case 'R': return 0x0D;
    case 'S': return 0x20;
    case 'T': return 0x09;
    case 'X': {
      unsigned value = 0;
      for (int digits = 0; digits < 2 && HexValue(*p) >= 0; ++digits) value = value * 16 + HexValue(*p++);
      return value & 0xFF;
    }
    case '^':
      if (*p == '\0') return '^';
      return (static_cast<unsigned>(std::toupper(*p++)) - 0x40u) & 0xFF;
    default:
      break;
  }
  if (IsOctal(escaped)) {
    unsigned value = escaped - '0';
    for (int digits = 1; digits < 3 && IsOctal(*p); ++digits) value = value * 8 + (*p++ - '0');
    return value & 0xFF;
  }
  return escaped;
}

void AddToSet(uint16_t* set, unsigned c) { set[c >> 4] = static_cast<uint16_t>(set[c >> 4] | (1u << (c & 0x0F))); }

bool IsClosure(uint16_t code) {
  return code == RWCRegexp::kStar || code == RWCRegexp::kPlus || code == RWCRegexp::kOptional;
}

}  // namespace

RWCRegexp::RWCRegexp(const char* pattern) : m_program(new uint16_t[kProgramCodes]()), m_status(kOk), m_compiled(false) {
  compile(pattern);
}

RWCRegexp::RWCRegexp(const RWCString& pattern) : RWCRegexp(pattern.data()) {}

RWCRegexp::RWCRegexp(const RWCRegexp& other)
    : m_program(new uint16_t[kProgramCodes]), m_status(other.m_status), m_compiled(other.m_compiled) {
  std::memcpy(m_program.get(), other.m_program.get(), kProgramCodes * sizeof(uint16_t));
}

RWCRegexp& RWCRegexp::operator=(const RWCRegexp& other) {
  if (this != &other) {
    std::memcpy(m_program.get(), other.m_program.get(), kProgramCodes * sizeof(uint16_t));
    m_status = other.m_status;
    m_compiled = other.m_compiled;
  }
  return *this;
}

RWCRegexp& RWCRegexp::operator=(const char* pattern) {
  m_program.reset(new uint16_t[kProgramCodes]());
  compile(pattern);
  return *this;
}

RWCRegexp& RWCRegexp::operator=(const RWCString& pattern) { return *this = pattern.data(); }

RWCRegexp::~RWCRegexp() = default;

RWCRegexp::statVal RWCRegexp::status() {
  auto current = static_cast<statVal>(m_status);
  m_status = kOk;
  return current;
}

// Compiles the pattern into the program:
// 1. An empty pattern or a leading closure is rejected at once.
// 2. Each pattern character becomes one element: an anchor, any-character, a class of
//    17 codes, or a literal (after escape processing).
// 3. A closure character moves the element just written up by one code and puts the
//    closure code in front of it.
// 4. The program always keeps room for END: a full program or an unclosed class
//    fails with kTooLong.
void RWCRegexp::compile(const char* pattern) {
  m_compiled = false;
  if (!m_program) {
    m_status = kNoMemory;
    return;
  }
  if (pattern == nullptr || *pattern == '\0' || *pattern == '*' || *pattern == '+' || *pattern == '?') {
    m_status = kIllegal;
    return;
  }
  uint16_t* program = m_program.get();
  const auto* p = reinterpret_cast<const unsigned char*>(pattern);
  uint32_t written = 0;
  uint32_t lastElement = kNoElement;
  for (;;) {
    if (*p == '\0') {
      program[written] = kEnd;
      m_status = kOk;
      m_compiled = true;
      return;
    }
    if (written >= kMaxCodesBeforeEnd) {
      m_status = kTooLong;
      return;
    }
    unsigned char c = *p;
    if (c == '$' && p[1] == '\0') {
      ++p;
      lastElement = written;
      program[written++] = kEndOfText;
    } else if (c == '^' && written == 0) {
      ++p;
      lastElement = written;
      program[written++] = kBeginning;
    } else if (c == '.') {
      ++p;
      lastElement = written;
      program[written++] = kAny;
    } else if (c == '[') {
      if (written + kClassCodes > kMaxCodesBeforeEnd) {
        m_status = kTooLong;
        return;
      }
      ++p;
      uint16_t* set = program + written + 1;
      std::fill(set, set + 16, uint16_t{0});
      bool negate = false;
      if (*p == '^') {
        negate = true;
        ++p;
      }
      while (*p != '\0' && *p != ']') {
        unsigned from = ReadPatternChar(p);
        if (p[0] == '-' && p[1] != '\0' && p[1] != ']') {
          ++p;
          unsigned to = ReadPatternChar(p);
          // A range written high to low adds the same characters.
          unsigned low = std::min(from, to);
          unsigned high = std::max(from, to);
          for (unsigned ch = low; ch <= high; ++ch) AddToSet(set, ch);
        } else {
          AddToSet(set, from);
        }
      }
      if (*p != ']') {
        m_status = kTooLong;
        return;
      }
      ++p;
      if (negate) {
        for (int w = 0; w < 16; ++w) set[w] = static_cast<uint16_t>(~set[w]);
      }
      lastElement = written;
      program[written] = kClass;
      written += kClassCodes;
    } else if (c == '*' || c == '+' || c == '?') {
      ++p;
      if (lastElement == kNoElement) {
        m_status = kIllegal;
        return;
      }
      uint16_t element = program[lastElement];
      if (element == kEndOfText || element == kBeginning || IsClosure(element)) {
        m_status = kTooLong;
        return;
      }
      std::memmove(program + lastElement + 1, program + lastElement, (written - lastElement) * sizeof(uint16_t));
      program[lastElement] = c == '*' ? kStar : c == '+' ? kPlus : kOptional;
      ++written;
      // lastElement now names the closure, so a second closure is refused.
    } else {
      lastElement = written;
      program[written++] = static_cast<uint16_t>(ReadPatternChar(p));
    }
  }
}

namespace {

uint32_t ElementCodes(const uint16_t* program, uint32_t pc) {
  return program[pc] == RWCRegexp::kClass ? RWCRegexp::kClassCodes : 1;
}

}  // namespace

bool RWCRegexp::matchElement(uint32_t pc, const unsigned char* text, uint32_t length, uint32_t pos,
                             uint32_t searchStart) const {
  const uint16_t* program = m_program.get();
  uint16_t code = program[pc];
  if (code <= 0xFF) return pos < length && text[pos] == code;
  switch (code) {
    case kAny:
      return pos < length && text[pos] != '\n';
    case kClass: {
      if (pos >= length) return false;
      unsigned c = text[pos];
      return ((program[pc + 1 + (c >> 4)] >> (c & 0x0F)) & 1) != 0;
    }
    case kEndOfText:
      return pos == length;
    case kBeginning:
      return pos == searchStart;
    default:
      return false;
  }
}

// Matches the program from code pc at text position pos. Closures are greedy and give
// characters back one at a time until the rest matches; "?" never gives back what it
// took. On success *end is where the match ends.
bool RWCRegexp::matchHere(uint32_t pc, const unsigned char* text, uint32_t length, uint32_t pos,
                          uint32_t searchStart, uint32_t* end) const {
  const uint16_t* program = m_program.get();
  for (;;) {
    uint16_t code = program[pc];
    if (code == kEnd) {
      *end = pos;
      return true;
    }
    if (code == kOptional) {
      uint32_t element = pc + 1;
      if (matchElement(element, text, length, pos, searchStart)) ++pos;
      pc = element + ElementCodes(program, element);
      continue;
    }
    if (code == kStar || code == kPlus) {
      uint32_t element = pc + 1;
      uint32_t next = element + ElementCodes(program, element);
      if (code == kPlus) {
        if (!matchElement(element, text, length, pos, searchStart)) return false;
        ++pos;
      }
      uint32_t shortest = pos;
      while (pos < length && matchElement(element, text, length, pos, searchStart)) ++pos;
      if (program[next] == kEnd) {
        *end = pos;
        return true;
      }
      for (uint32_t at = pos;; --at) {
        if (matchHere(next, text, length, at, searchStart, end)) return true;
        if (at == shortest) return false;
      }
    }
    if (!matchElement(pc, text, length, pos, searchStart)) return false;
    // Anchors consume nothing; every other element consumes one character.
    if (code != kEndOfText && code != kBeginning) ++pos;
    pc += ElementCodes(program, pc);
  }
}

uint32_t RWCRegexp::index(const RWCString& text, uint32_t* matchLength, uint32_t start) const {
  if (matchLength) *matchLength = 0;
  if (!m_compiled) {
    RWMessage message(RWTOOL_BADRE());
    RWInternalErr error(message);
    RWThrow(error);
    return RW_NPOS;
  }
  uint32_t length = text.length();
  if (start > length) return RW_NPOS;
  const auto* chars = reinterpret_cast<const unsigned char*>(text.data());
  uint32_t end = 0;
  uint32_t last = m_program[0] == kBeginning ? start : length;
  for (uint32_t pos = start; pos <= last; ++pos) {
    if (matchHere(0, chars, length, pos, start, &end)) {
      if (matchLength) *matchLength = end - pos;
      return pos;
    }
  }
  return RW_NPOS;
}

// ---------------------------------------------------------------------------------
// RWCString operations that take a regular expression

uint32_t RWCString::index(const RWCRegexp& pattern, uint32_t start) const {
  return pattern.index(*this, nullptr, start);
}

uint32_t RWCString::index(const RWCRegexp& pattern, uint32_t* matchLength, uint32_t start) const {
  return pattern.index(*this, matchLength, start);
}

RWCSubString RWCString::operator()(const RWCRegexp& pattern, uint32_t start) {
  uint32_t matchLength = 0;
  uint32_t at = pattern.index(*this, &matchLength, start);
  if (at == RW_NPOS) return RWCSubString(*this, RW_NPOS, 0);
  return RWCSubString(*this, at, matchLength);
}

RWCSubString RWCString::operator()(const RWCRegexp& pattern) { return (*this)(pattern, 0); }

const RWCSubString RWCString::operator()(const RWCRegexp& pattern, uint32_t start) const {
  return const_cast<RWCString*>(this)->operator()(pattern, start);
}

const RWCSubString RWCString::operator()(const RWCRegexp& pattern) const {
  return const_cast<RWCString*>(this)->operator()(pattern, 0);
}

}  // namespace zentor
