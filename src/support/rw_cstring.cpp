#include "support/rw_cstring.h"

#include "support/little_endian.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <istream>
#include <new>
#include <ostream>

#include "support/rw_messages.h"

namespace zentor {

namespace {

// The shared body of every empty string made without a capacity. Its stored count
// starts at 0: the body holds one permanent reference of its own, so it is never
// freed and never the sole-owner body that an in-place edit may touch.
struct NullBody {
  RWCStringRef header;
  char terminator[4];
};
constinit NullBody g_nullBody = {{0, 0, 0}, {0, 0, 0, 0}};

// Absorbs writes through a checked reference whose bounds error was answered by a
// handler that returned; the index itself must never be used.
char g_outOfRangeScratch = 0;

// Lengths and capacities are 32-bit. A sum that does not fit can never be allocated,
// so it fails the way an impossible allocation fails.
uint32_t CheckedSum(uint32_t a, uint32_t b) {
  if (b > 0xFFFFFFFFu - a) throw std::bad_alloc();
  return a + b;
}

uint32_t TextLength(const char* text) {
  if (text == nullptr) return 0;
  size_t length = std::strlen(text);
  if (length >= 0xFFFFFFFFu) throw std::bad_alloc();
  return static_cast<uint32_t>(length);
}

// Stream counts are signed and only 32 bits wide on the Windows build.
constexpr uint32_t kMaxStreamChunk = 0x40000000u;
std::streamsize StreamCount(uint32_t n) { return static_cast<std::streamsize>(std::min(n, kMaxStreamChunk)); }

uint32_t RotateLeft5(uint32_t h) { return (h << 5) | (h >> 27); }

int LowerChar(char c) { return std::tolower(static_cast<unsigned char>(c)); }

// True when p points into [begin, end); ordered through std::less because the
// pointers may belong to different objects.
bool PointsInto(const char* p, const char* begin, const char* end) {
  std::less<const char*> less;
  return !less(p, begin) && less(p, end);
}

}  // namespace

uint32_t RWCString::s_initialCapacity = 15;
uint32_t RWCString::s_resizeIncrement = 16;
uint32_t RWCString::s_maxWaste = 15;

uint32_t RWCString::initialCapacity(uint32_t capacity) {
  uint32_t old = s_initialCapacity;
  s_initialCapacity = capacity;
  return old;
}

uint32_t RWCString::resizeIncrement(uint32_t increment) {
  uint32_t old = s_resizeIncrement;
  s_resizeIncrement = increment;
  return old;
}

uint32_t RWCString::maxWaste(uint32_t waste) {
  uint32_t old = s_maxWaste;
  s_maxWaste = waste;
  return old;
}

// ---------------------------------------------------------------------------------
// Body management

char* RWCString::nullRepData() {
  ++g_nullBody.header.m_refs;
  return g_nullBody.terminator;
}

char* RWCString::getRep(uint32_t capacity, uint32_t length) {
  if (capacity == 0 && length == 0) return nullRepData();
  capacity = std::max(capacity, length);
  uint64_t bytes = uint64_t{sizeof(RWCStringRef)} + capacity + 1;
  if (bytes > SIZE_MAX) throw std::bad_alloc();
  void* block = ::operator new(static_cast<size_t>(bytes));
  auto* body = new (block) RWCStringRef{0, capacity, length};
  body->chars()[length] = '\0';
  return body->chars();
}

void RWCString::unLink(RWCStringRef* body) {
  if (body == &g_nullBody.header) {
    --body->m_refs;
    return;
  }
  if (body->m_refs == 0) {
    ::operator delete(static_cast<void*>(body));
  } else {
    --body->m_refs;
  }
}

uint32_t RWCString::adjustCapacity(uint32_t n) {
  uint32_t initial = s_initialCapacity;
  uint32_t increment = std::max<uint32_t>(s_resizeIncrement, 1);
  if (n <= initial) return initial;
  uint32_t rounded = ((n - initial + increment - 1) / increment) * increment + initial;
  if (rounded < n) throw std::bad_alloc();  // wrapped past 32 bits
  return rounded;
}

void RWCString::cow() {
  if (pref()->m_refs > 0) clone();
}

void RWCString::cow(uint32_t n) {
  RWCStringRef* body = pref();
  if (body->m_refs > 0 || body->m_capacity < n) clone(n);
}

void RWCString::clone() { clone(length()); }

void RWCString::clone(uint32_t n) {
  RWCStringRef* old = pref();
  uint32_t keep = std::min(old->m_length, n);
  char* fresh = getRep(n, keep);
  std::memcpy(fresh, m_data, keep);
  unLink(old);
  m_data = fresh;
}

// ---------------------------------------------------------------------------------
// Construction and assignment

RWCString::RWCString() : m_data(nullRepData()) {}

RWCString::RWCString(RWSize_T capacity) : m_data(getRep(capacity.value(), 0)) {}

RWCString::RWCString(const char* text) {
  uint32_t n = TextLength(text);
  m_data = getRep(n, n);
  if (n) std::memcpy(m_data, text, n);
}

RWCString::RWCString(const char* buffer, uint32_t count) {
  if (buffer == nullptr) count = 0;
  m_data = getRep(count, count);
  if (count) std::memcpy(m_data, buffer, count);
}

RWCString::RWCString(char c) : m_data(getRep(s_initialCapacity, 1)) { m_data[0] = c; }

RWCString::RWCString(char c, uint32_t count) : m_data(getRep(count, count)) {
  std::memset(m_data, static_cast<unsigned char>(c), count);
}

RWCString::RWCString(const RWCSubString& stretch) {
  uint32_t extent = stretch.isNull() ? 0 : stretch.m_extent;
  m_data = getRep(adjustCapacity(extent), extent);
  if (extent) std::memcpy(m_data, stretch.startData(), extent);
}

RWCString::RWCString(const RWCString& other) : m_data(other.m_data) { ++pref()->m_refs; }

RWCString::RWCString(RWCString&& other) noexcept : m_data(other.m_data) { other.m_data = nullRepData(); }

RWCString::RWCString(const char* a, uint32_t na, const char* b, uint32_t nb) {
  if (a == nullptr) na = 0;
  if (b == nullptr) nb = 0;
  uint32_t total = CheckedSum(na, nb);
  m_data = getRep(adjustCapacity(total), total);
  if (na) std::memcpy(m_data, a, na);
  if (nb) std::memcpy(m_data + na, b, nb);
}

RWCString::~RWCString() { unLink(pref()); }

RWCString& RWCString::operator=(const RWCString& other) {
  // The source's reference is added before ours is dropped, which makes
  // self-assignment safe.
  ++other.pref()->m_refs;
  unLink(pref());
  m_data = other.m_data;
  return *this;
}

RWCString& RWCString::operator=(RWCString&& other) noexcept {
  if (this != &other) {
    unLink(pref());
    m_data = other.m_data;
    other.m_data = nullRepData();
  }
  return *this;
}

RWCString& RWCString::operator=(const char* text) {
  if (text != nullptr && *text != '\0') return replace(0, length(), text, TextLength(text));
  RWCStringRef* body = pref();
  if (body->m_refs > 0) {
    unLink(body);
    m_data = nullRepData();
  } else {
    body->m_length = 0;
    m_data[0] = '\0';
  }
  return *this;
}

uint32_t RWCString::capacity(uint32_t capacity) {
  if (capacity > length() && capacity != this->capacity()) clone(capacity);
  return this->capacity();
}

// ---------------------------------------------------------------------------------
// Edits

RWCString& RWCString::replace(uint32_t pos, uint32_t oldCount, const char* buffer, uint32_t newCount) {
  RWCStringRef* body = pref();
  uint32_t len = body->m_length;
  pos = std::min(pos, len);  // a position past the end would move memory before the body
  oldCount = std::min(oldCount, len - pos);
  if (buffer == nullptr) newCount = 0;
  uint32_t total = CheckedSum(len - oldCount, newCount);
  uint32_t rest = len - pos - oldCount;

  bool bufferInside = buffer != nullptr && PointsInto(buffer, m_data, m_data + len);
  if (body->m_refs == 0 && body->m_capacity >= total && body->m_capacity - total <= s_maxWaste &&
      !bufferInside) {
    std::memmove(m_data + pos + newCount, m_data + pos + oldCount, rest);
    if (newCount) std::memcpy(m_data + pos, buffer, newCount);
    body->m_length = total;
    m_data[total] = '\0';
    return *this;
  }

  char* fresh = getRep(adjustCapacity(total), total);
  std::memcpy(fresh, m_data, pos);
  if (newCount) std::memcpy(fresh + pos, buffer, newCount);
  std::memcpy(fresh + pos + newCount, m_data + pos + oldCount, rest);
  unLink(body);
  m_data = fresh;
  return *this;
}

RWCString& RWCString::replace(uint32_t pos, uint32_t oldCount, const char* text) {
  return replace(pos, oldCount, text, TextLength(text));
}
RWCString& RWCString::replace(uint32_t pos, uint32_t oldCount, const RWCString& text) {
  return replace(pos, oldCount, text.data(), text.length());
}
RWCString& RWCString::replace(uint32_t pos, uint32_t oldCount, const RWCString& text, uint32_t newCount) {
  return replace(pos, oldCount, text.data(), std::min(newCount, text.length()));
}

RWCString& RWCString::append(const char* text) { return replace(length(), 0, text, TextLength(text)); }
RWCString& RWCString::append(const char* buffer, uint32_t count) { return replace(length(), 0, buffer, count); }
RWCString& RWCString::append(const RWCString& text) { return replace(length(), 0, text.data(), text.length()); }
RWCString& RWCString::append(const RWCString& text, uint32_t count) {
  return replace(length(), 0, text.data(), std::min(count, text.length()));
}

RWCString& RWCString::append(char c, uint32_t count) {
  uint32_t len = length();
  uint32_t total = CheckedSum(len, count);
  cow(total);
  if (count == 0) return *this;  // nothing to write, and the body may be the shared null body
  std::memset(m_data + len, static_cast<unsigned char>(c), count);
  pref()->m_length = total;
  m_data[total] = '\0';
  return *this;
}

RWCString& RWCString::prepend(const char* text) { return replace(0, 0, text, TextLength(text)); }
RWCString& RWCString::prepend(const char* buffer, uint32_t count) { return replace(0, 0, buffer, count); }
RWCString& RWCString::prepend(const RWCString& text) { return replace(0, 0, text.data(), text.length()); }
RWCString& RWCString::prepend(const RWCString& text, uint32_t count) {
  return replace(0, 0, text.data(), std::min(count, text.length()));
}

RWCString& RWCString::prepend(char c, uint32_t count) {
  RWCStringRef* body = pref();
  uint32_t len = body->m_length;
  uint32_t total = CheckedSum(len, count);
  if (count == 0) return *this;
  if (body->m_refs == 0 && body->m_capacity >= total) {
    std::memmove(m_data + count, m_data, len);
  } else {
    char* fresh = getRep(adjustCapacity(total), total);
    std::memcpy(fresh + count, m_data, len);
    unLink(body);
    m_data = fresh;
    body = pref();
  }
  std::memset(m_data, static_cast<unsigned char>(c), count);
  body->m_length = total;
  m_data[total] = '\0';
  return *this;
}

RWCString& RWCString::insert(uint32_t pos, const char* text) { return replace(pos, 0, text, TextLength(text)); }
RWCString& RWCString::insert(uint32_t pos, const char* buffer, uint32_t count) {
  return replace(pos, 0, buffer, count);
}
RWCString& RWCString::insert(uint32_t pos, const RWCString& text) {
  return replace(pos, 0, text.data(), text.length());
}
RWCString& RWCString::insert(uint32_t pos, const RWCString& text, uint32_t count) {
  return replace(pos, 0, text.data(), std::min(count, text.length()));
}

RWCString& RWCString::remove(uint32_t pos) {
  uint32_t len = length();
  pos = std::min(pos, len);
  return replace(pos, len - pos, nullptr, 0);
}

RWCString& RWCString::remove(uint32_t pos, uint32_t count) { return replace(pos, count, nullptr, 0); }

void RWCString::resize(uint32_t n) {
  uint32_t len = length();
  if (len > n) {
    remove(n);
  } else {
    append(' ', n - len);
  }
}

// ---------------------------------------------------------------------------------
// Comparison and hashing

int RWCString::compareTo(const char* text, caseCompare cmp) const {
  if (text == nullptr) text = "";
  uint32_t len = length();
  for (uint32_t i = 0;; ++i) {
    if (text[i] == '\0') return i == len ? 0 : 1;
    if (i == len) return -1;
    signed char mine, theirs;
    if (cmp == ignoreCase) {
      mine = static_cast<signed char>(LowerChar(m_data[i]));
      theirs = static_cast<signed char>(LowerChar(text[i]));
    } else {
      mine = static_cast<signed char>(m_data[i]);
      theirs = static_cast<signed char>(text[i]);
    }
    if (mine != theirs) return mine < theirs ? -1 : 1;
  }
}

int RWCString::compareTo(const RWCString& text, caseCompare cmp) const {
  uint32_t len = length();
  uint32_t otherLen = text.length();
  uint32_t common = std::min(len, otherLen);
  for (uint32_t i = 0; i < common; ++i) {
    int mine, theirs;
    if (cmp == ignoreCase) {
      mine = static_cast<signed char>(LowerChar(m_data[i]));
      theirs = static_cast<signed char>(LowerChar(text.m_data[i]));
    } else {
      mine = static_cast<unsigned char>(m_data[i]);
      theirs = static_cast<unsigned char>(text.m_data[i]);
    }
    if (mine != theirs) return mine < theirs ? -1 : 1;
  }
  if (len == otherLen) return 0;
  return len < otherLen ? -1 : 1;
}

uint32_t RWCString::hash(caseCompare cmp) const { return hashOf(m_data, length(), cmp); }

uint32_t RWCString::hashOf(const char* text, uint32_t length, caseCompare cmp) {
  const uint32_t len = length;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  uint32_t h = len;
  if (cmp == ignoreCase) {
    for (uint32_t i = 0; i < len; ++i) h = RotateLeft5(h) ^ static_cast<uint32_t>(std::toupper(bytes[i]));
    return h;
  }
  uint32_t whole = len / 4;
  for (uint32_t g = 0; g < whole; ++g) {
    h = RotateLeft5(h) ^ value_bytes::LoadU32(bytes + 4 * g);
  }
  if (len % 4) {
    // The tail bytes are sign-extended, so a byte of 0x80 or more fills the higher bits.
    uint32_t w = 0;
    for (uint32_t i = whole * 4; i < len; ++i) {
      w = (w << 8) | static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(bytes[i])));
    }
    h = RotateLeft5(h) ^ w;
  }
  return h;
}

bool operator==(const RWCString& a, const char* b) {
  if (b == nullptr) b = "";
  const char* d = a.data();
  uint32_t len = a.length();
  uint32_t i = 0;
  for (; i < len; ++i) {
    if (b[i] == '\0' || b[i] != d[i]) return false;  // never read past b's terminator
  }
  return b[i] == '\0';
}

bool operator==(const RWCString& a, const RWCString& b) {
  uint32_t len = a.length();
  return len == b.length() && std::memcmp(a.data(), b.data(), len) == 0;
}

// ---------------------------------------------------------------------------------
// Searching and substrings

uint32_t RWCString::index(const char* pattern, uint32_t start, caseCompare cmp) const {
  return index(pattern, TextLength(pattern), start, cmp);
}

uint32_t RWCString::index(const RWCString& pattern, uint32_t start, caseCompare cmp) const {
  return index(pattern.data(), pattern.length(), start, cmp);
}

uint32_t RWCString::index(const RWCString& pattern, uint32_t patternLength, uint32_t start, caseCompare cmp) const {
  return index(pattern.data(), std::min(patternLength, pattern.length()), start, cmp);
}

uint32_t RWCString::index(const char* pattern, uint32_t patternLength, uint32_t start, caseCompare cmp) const {
  uint32_t len = length();
  if (uint64_t{start} + patternLength > len) return RW_NPOS;
  if (patternLength == 0) return start;
  if (pattern == nullptr) return RW_NPOS;
  uint32_t lastStart = len - patternLength;
  if (cmp == ignoreCase) {
    int firstLower = LowerChar(pattern[0]);
    for (uint32_t i = start; i <= lastStart; ++i) {
      if (LowerChar(m_data[i]) != firstLower) continue;
      uint32_t k = 1;
      while (k < patternLength && LowerChar(m_data[i + k]) == LowerChar(pattern[k])) ++k;
      if (k == patternLength) return i;
    }
    return RW_NPOS;
  }
  for (uint32_t i = start; i <= lastStart; ++i) {
    if (m_data[i] == pattern[0] && std::memcmp(m_data + i + 1, pattern + 1, patternLength - 1) == 0) return i;
  }
  return RW_NPOS;
}

uint32_t RWCString::first(char c) const {
  const char* found = std::strchr(m_data, c);
  return found ? static_cast<uint32_t>(found - m_data) : RW_NPOS;
}

uint32_t RWCString::last(char c) const {
  const char* found = std::strrchr(m_data, c);
  return found ? static_cast<uint32_t>(found - m_data) : RW_NPOS;
}

RWCSubString RWCString::subString(const char* pattern, uint32_t start, caseCompare cmp) {
  uint32_t patternLength = TextLength(pattern);
  uint32_t at = index(pattern, patternLength, start, cmp);
  if (at == RW_NPOS) return RWCSubString(*this, RW_NPOS, 0);
  return RWCSubString(*this, at, patternLength);
}

const RWCSubString RWCString::subString(const char* pattern, uint32_t start, caseCompare cmp) const {
  return const_cast<RWCString*>(this)->subString(pattern, start, cmp);
}

RWCSubString RWCString::operator()(uint32_t start, uint32_t length) {
  // Kept inside the string so that reading or assigning through the substring can
  // never touch memory beyond the body.
  if (start == RW_NPOS) return RWCSubString(*this, RW_NPOS, 0);
  uint32_t len = this->length();
  start = std::min(start, len);
  return RWCSubString(*this, start, std::min(length, len - start));
}

const RWCSubString RWCString::operator()(uint32_t start, uint32_t length) const {
  return const_cast<RWCString*>(this)->operator()(start, length);
}

RWCSubString RWCString::strip(stripType where, char c) {
  uint32_t begin = 0;
  uint32_t end = length();
  if (where & leading) {
    while (begin < end && m_data[begin] == c) ++begin;
  }
  if (where & trailing) {
    while (end > begin && m_data[end - 1] == c) --end;
  }
  if (begin == end) return RWCSubString(*this, RW_NPOS, 0);
  return RWCSubString(*this, begin, end - begin);
}

const RWCSubString RWCString::strip(stripType where, char c) const {
  return const_cast<RWCString*>(this)->strip(where, c);
}

// ---------------------------------------------------------------------------------
// Element access and case

void RWCString::assertElement(uint32_t i) const {
  uint32_t len = length();
  if (i == RW_NPOS || i >= len) RWRaiseIndex(i, len - 1);
}

char& RWCString::operator[](uint32_t i) {
  assertElement(i);
  if (i == RW_NPOS || i >= length()) {  // the handler returned
    g_outOfRangeScratch = '\0';
    return g_outOfRangeScratch;
  }
  cow();
  return m_data[i];
}

char RWCString::operator[](uint32_t i) const {
  assertElement(i);
  if (i == RW_NPOS || i >= length()) return '\0';
  return m_data[i];
}

char& RWCString::operator()(uint32_t i) {
  // A writable reference into a shared body would change every copy.
  cow();
  return m_data[i];
}

void RWCString::toLower() {
  cow();
  uint32_t len = length();
  for (uint32_t i = 0; i < len; ++i) m_data[i] = static_cast<char>(LowerChar(m_data[i]));
}

void RWCString::toUpper() {
  cow();
  uint32_t len = length();
  for (uint32_t i = 0; i < len; ++i) m_data[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(m_data[i])));
}

RWCString toLower(const RWCString& text) {
  RWCString copy(text);
  copy.toLower();
  return copy;
}

RWCString toUpper(const RWCString& text) {
  RWCString copy(text);
  copy.toUpper();
  return copy;
}

// ---------------------------------------------------------------------------------
// Concatenation

RWCString operator+(const RWCString& a, const char* b) {
  return RWCString(a.data(), a.length(), b, TextLength(b));
}

RWCString operator+(const char* a, const RWCString& b) {
  return RWCString(a, TextLength(a), b.data(), b.length());
}

RWCString operator+(const RWCString& a, const RWCString& b) {
  return RWCString(a.data(), a.length(), b.data(), b.length());
}

// ---------------------------------------------------------------------------------
// Stream input and output

// Every reader starts by emptying the string for reuse: a private body that is big
// enough is kept, anything else is replaced by a fresh one of the initial capacity.
void RWCString::emptyForReading() {
  RWCStringRef* body = pref();
  if (body->m_refs == 0 && body->m_capacity >= s_initialCapacity) {
    body->m_length = 0;
    m_data[0] = '\0';
  } else {
    unLink(body);
    m_data = getRep(s_initialCapacity, 0);
  }
}

// Every reader ends by terminating the text and giving back a large unused tail.
void RWCString::finishReading() {
  RWCStringRef* body = pref();
  m_data[body->m_length] = '\0';
  if (body->m_capacity - body->m_length > s_maxWaste) clone(adjustCapacity(body->m_length));
}

void RWCString::growTo(uint32_t capacity) { clone(capacity); }

std::istream& RWCString::readToDelim(std::istream& is, char delim) {
  using Traits = std::istream::traits_type;
  const Traits::int_type delimiter = Traits::to_int_type(delim);
  emptyForReading();
  for (;;) {
    if (capacity() == length()) growTo(CheckedSum(length(), std::max<uint32_t>(s_resizeIncrement, 1)));
    RWCStringRef* body = pref();
    uint32_t room = body->m_capacity - body->m_length;
    is.get(m_data + body->m_length, StreamCount(room) + 1, delim);
    uint32_t got = static_cast<uint32_t>(is.gcount());
    body->m_length += got;
    if (got == 0 && is.rdstate() == std::ios::failbit) {
      // get() stores nothing when the delimiter comes at once: an empty line is a
      // result, not a failure.
      is.clear();
      if (is.peek() == delimiter) {
        is.ignore(1);
      } else {
        is.setstate(std::ios::failbit);
      }
      break;
    }
    if (!is.good()) break;
    Traits::int_type next = is.peek();
    if (next == delimiter) {
      is.ignore(1);
      break;
    }
    if (Traits::eq_int_type(next, Traits::eof())) break;  // the text ends without a delimiter
    growTo(CheckedSum(length(), std::max<uint32_t>(s_resizeIncrement, 1)));
  }
  finishReading();
  return is;
}

std::istream& RWCString::readLine(std::istream& is, bool skipWhite) {
  if (skipWhite) is >> std::ws;
  return readToDelim(is, '\n');
}

std::istream& RWCString::readString(std::istream& is) { return readToDelim(is, '\0'); }

std::istream& RWCString::readToken(std::istream& is) {
  using Traits = std::istream::traits_type;
  is >> std::ws;
  std::streamsize width = is.width();
  is.width(0);
  emptyForReading();
  for (;;) {
    if (width > 0 && static_cast<uint64_t>(length()) >= static_cast<uint64_t>(width)) break;
    if (!is.good()) break;
    // Peeking instead of taking and putting back: a token that ends the input leaves
    // the stream at end-of-file but not failed, so the last token of a text counts.
    Traits::int_type next = is.peek();
    if (Traits::eq_int_type(next, Traits::eof())) break;
    if (std::isspace(static_cast<unsigned char>(Traits::to_char_type(next)))) break;
    is.ignore(1);
    if (length() == capacity()) growTo(CheckedSum(capacity(), std::max<uint32_t>(s_resizeIncrement, 1)));
    RWCStringRef* body = pref();
    m_data[body->m_length++] = Traits::to_char_type(next);
  }
  if (length() == 0) is.setstate(std::ios::failbit);
  finishReading();
  return is;
}

std::istream& RWCString::readFile(std::istream& is) {
  emptyForReading();
  for (;;) {
    if (capacity() == length()) growTo(CheckedSum(length(), std::max<uint32_t>(s_resizeIncrement, 1)));
    RWCStringRef* body = pref();
    is.read(m_data + body->m_length, StreamCount(body->m_capacity - body->m_length));
    body->m_length += static_cast<uint32_t>(is.gcount());
    if (!is.good()) break;
    growTo(CheckedSum(length(), std::max<uint32_t>(s_resizeIncrement, 1)));
  }
  finishReading();
  return is;
}

std::istream& operator>>(std::istream& is, RWCString& text) { return text.readToken(is); }

std::ostream& operator<<(std::ostream& os, const RWCString& text) {
  std::ostream::sentry ok(os);
  if (ok) {
    uint32_t len = text.length();
    std::streamsize width = os.width();
    std::streamsize pad = width > 0 && static_cast<uint64_t>(width) > len ? width - static_cast<std::streamsize>(len) : 0;
    os.width(pad);
    bool left = (os.flags() & std::ios::adjustfield) == std::ios::left;
    // Inserting an empty text with the width set writes exactly the fill characters.
    if (pad != 0 && !left) os << "";
    for (uint32_t done = 0; done < len;) {
      std::streamsize chunk = StreamCount(len - done);
      os.write(text.data() + done, chunk);
      done += static_cast<uint32_t>(chunk);
    }
    if (pad != 0 && left) os << "";
  }
  return os;
}

// ---------------------------------------------------------------------------------
// RWCSubString

RWCSubString::RWCSubString(const RWCString& text, uint32_t start, uint32_t extent)
    : m_string(const_cast<RWCString*>(&text)), m_begin(start), m_extent(start == RW_NPOS ? 0 : extent) {}

const char* RWCSubString::startData() const { return m_string->data() + m_begin; }

RWCSubString& RWCSubString::operator=(const RWCString& text) {
  if (!isNull()) m_string->replace(m_begin, m_extent, text.data(), text.length());
  return *this;
}

RWCSubString& RWCSubString::operator=(const char* text) {
  if (!isNull()) m_string->replace(m_begin, m_extent, text, TextLength(text));
  return *this;
}

void RWCSubString::assertElement(uint32_t i) const {
  if (i == RW_NPOS || i >= m_extent) RWRaiseIndex(i, m_extent - 1);
}

char& RWCSubString::operator[](uint32_t i) {
  assertElement(i);
  if (i == RW_NPOS || i >= m_extent) {  // the handler returned
    g_outOfRangeScratch = '\0';
    return g_outOfRangeScratch;
  }
  m_string->cow();
  return m_string->m_data[m_begin + i];
}

char RWCSubString::operator[](uint32_t i) const {
  assertElement(i);
  if (i == RW_NPOS || i >= m_extent) return '\0';
  return m_string->m_data[m_begin + i];
}

char& RWCSubString::operator()(uint32_t i) {
  m_string->cow();
  return m_string->m_data[m_begin + i];
}

char RWCSubString::operator()(uint32_t i) const { return m_string->m_data[m_begin + i]; }

void RWCSubString::toLower() {
  if (isNull()) return;
  m_string->cow();
  char* p = m_string->m_data + m_begin;
  for (uint32_t i = 0; i < m_extent; ++i) p[i] = static_cast<char>(LowerChar(p[i]));
}

void RWCSubString::toUpper() {
  if (isNull()) return;
  m_string->cow();
  char* p = m_string->m_data + m_begin;
  for (uint32_t i = 0; i < m_extent; ++i) p[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(p[i])));
}

bool operator==(const RWCSubString& a, const char* b) {
  if (b == nullptr) b = "";
  if (a.isNull()) return *b == '\0';
  const char* d = a.startData();
  uint32_t i = 0;
  for (; i < a.m_extent; ++i) {
    if (b[i] == '\0' || b[i] != d[i]) return false;
  }
  return b[i] == '\0';
}

bool operator==(const RWCSubString& a, const RWCString& b) {
  if (a.isNull()) return b.length() == 0;
  return a.m_extent == b.length() && std::memcmp(a.startData(), b.data(), a.m_extent) == 0;
}

bool operator==(const RWCSubString& a, const RWCSubString& b) {
  // A null substring reads as the empty text.
  uint32_t lenA = a.isNull() ? 0 : a.m_extent;
  uint32_t lenB = b.isNull() ? 0 : b.m_extent;
  if (lenA != lenB) return false;
  return lenA == 0 || std::memcmp(a.startData(), b.startData(), lenA) == 0;
}

}  // namespace zentor
