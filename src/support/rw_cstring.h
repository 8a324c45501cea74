#pragma once
// RWCString is the system's one text type: a reference-counted, copy-on-write byte
// string. Copies share one body and the first modification of a shared body makes a
// private copy; RWCSubString names a stretch of a string without copying it. Names,
// command texts, message arguments and display lines all travel as RWCString values.

#include <cstdint>
#include <iosfwd>

#include "support/rw_defs.h"

namespace zentor {

class RWCString;
class RWCSubString;
class RWCRegexp;
class RWCTokenizer;

// Wraps a capacity so that constructing a string with room for n characters cannot be
// confused with constructing one from a character or a text.
class RWSize_T {
 public:
  explicit constexpr RWSize_T(uint32_t n) : m_value(n) {}
  constexpr uint32_t value() const { return m_value; }

 private:
  uint32_t m_value;
};

// The body of a string: this header immediately followed by capacity + 1 characters.
// The reference count is stored as the number of owners minus one, so 0 means one
// owner. A body is one block from the global allocation operator.
struct RWCStringRef {
  uint32_t m_refs;
  uint32_t m_capacity;
  uint32_t m_length;

  char* chars() { return reinterpret_cast<char*>(this) + sizeof(RWCStringRef); }
  const char* chars() const { return reinterpret_cast<const char*>(this) + sizeof(RWCStringRef); }
};
static_assert(sizeof(RWCStringRef) == 12, "string body header is three 32-bit words");

// A stretch (start, extent) of an RWCString. It refers to the string: it must not
// outlive it, and edits of the string that move characters leave it stale. A start of
// RW_NPOS makes the null substring (extent 0).
class RWCSubString {
 public:
  RWCSubString(const RWCSubString&) = default;
  // Assigning text replaces the stretch inside the string; the substring's own extent
  // is left as it was. A substring is never re-targeted by assignment.
  RWCSubString& operator=(const RWCString& text);
  RWCSubString& operator=(const char* text);
  RWCSubString& operator=(const RWCSubString&) = delete;

  // Checked access: an index not below the extent raises the [INDEX] bounds error.
  char& operator[](uint32_t i);
  char operator[](uint32_t i) const;
  // Unchecked access.
  char& operator()(uint32_t i);
  char operator()(uint32_t i) const;

  uint32_t length() const { return m_extent; }
  uint32_t start() const { return m_begin; }
  bool isNull() const { return m_begin == RW_NPOS; }
  int operator!() const { return m_begin == RW_NPOS; }

  void toLower();
  void toUpper();

 private:
  friend class RWCString;
  friend class RWCTokenizer;
  friend bool operator==(const RWCSubString& a, const char* b);
  friend bool operator==(const RWCSubString& a, const RWCString& b);
  friend bool operator==(const RWCSubString& a, const RWCSubString& b);

  RWCSubString(const RWCString& text, uint32_t start, uint32_t extent);
  // First character of the stretch (meaningless for the null substring).
  const char* startData() const;
  void assertElement(uint32_t i) const;

  RWCString* m_string;
  uint32_t m_begin;
  uint32_t m_extent;
};

class RWCString {
 public:
  enum caseCompare { exact = 0, ignoreCase = 1 };
  enum stripType { leading = 1, trailing = 2, both = 3 };

  // Construction.
  RWCString();
  explicit RWCString(RWSize_T capacity);
  RWCString(const char* text);  // NOLINT: implicit on purpose, texts are strings
  RWCString(const char* buffer, uint32_t count);
  explicit RWCString(char c);
  RWCString(char c, uint32_t count);
  RWCString(const RWCSubString& stretch);  // NOLINT: implicit like a copy
  RWCString(const RWCString& other);
  RWCString(RWCString&& other) noexcept;
  ~RWCString();

  RWCString& operator=(const RWCString& other);
  RWCString& operator=(RWCString&& other) noexcept;
  RWCString& operator=(const char* text);

  // Class-wide settings. Each setter stores the new value and returns the old one.
  static uint32_t initialCapacity() { return s_initialCapacity; }
  static uint32_t initialCapacity(uint32_t capacity);
  static uint32_t resizeIncrement() { return s_resizeIncrement; }
  static uint32_t resizeIncrement(uint32_t increment);
  static uint32_t maxWaste() { return s_maxWaste; }
  static uint32_t maxWaste(uint32_t waste);

  // The characters, always followed by a NUL at position length().
  const char* data() const { return m_data; }
  uint32_t length() const { return pref()->m_length; }
  bool isNull() const { return pref()->m_length == 0; }
  uint32_t capacity() const { return pref()->m_capacity; }
  // Re-allocates to exactly `capacity` when that exceeds the length and differs from
  // the current capacity; returns the capacity afterwards.
  uint32_t capacity(uint32_t capacity);

  // Edits. Every form is a call of replace(); positions are the caller's to keep
  // within the string (a position beyond the length is clamped to it).
  RWCString& append(const char* text);
  RWCString& append(const char* buffer, uint32_t count);
  RWCString& append(const RWCString& text);
  RWCString& append(const RWCString& text, uint32_t count);
  RWCString& append(char c, uint32_t count = 1);
  RWCString& prepend(const char* text);
  RWCString& prepend(const char* buffer, uint32_t count);
  RWCString& prepend(const RWCString& text);
  RWCString& prepend(const RWCString& text, uint32_t count);
  RWCString& prepend(char c, uint32_t count = 1);
  RWCString& insert(uint32_t pos, const char* text);
  RWCString& insert(uint32_t pos, const char* buffer, uint32_t count);
  RWCString& insert(uint32_t pos, const RWCString& text);
  RWCString& insert(uint32_t pos, const RWCString& text, uint32_t count);
  RWCString& remove(uint32_t pos);
  RWCString& remove(uint32_t pos, uint32_t count);
  RWCString& replace(uint32_t pos, uint32_t oldCount, const char* text);
  RWCString& replace(uint32_t pos, uint32_t oldCount, const char* buffer, uint32_t newCount);
  RWCString& replace(uint32_t pos, uint32_t oldCount, const RWCString& text);
  RWCString& replace(uint32_t pos, uint32_t oldCount, const RWCString& text, uint32_t newCount);
  // Longer than n: cut at n; shorter: padded with blanks up to n.
  void resize(uint32_t n);

  RWCString& operator+=(const char* text) { return append(text); }
  RWCString& operator+=(const RWCString& text) { return append(text); }
  // Goes through replace() so that repeated single characters grow the body in steps
  // of the resize increment; append(c, n) sizes the body exactly.
  RWCString& operator+=(char c) { return replace(length(), 0, &c, 1); }

  // -1, 0 or 1. Against a NUL-terminated text characters compare as signed chars;
  // two strings compare exactly as unsigned bytes, ignoring case as signed chars.
  int compareTo(const char* text, caseCompare cmp = exact) const;
  int compareTo(const RWCString& text, caseCompare cmp = exact) const;

  uint32_t hash(caseCompare cmp = exact) const;
  // The hash a string of these `length` characters has.
  static uint32_t hashOf(const char* text, uint32_t length, caseCompare cmp = exact);

  // Searches. RW_NPOS when absent.
  uint32_t index(const char* pattern, uint32_t start = 0, caseCompare cmp = exact) const;
  uint32_t index(const char* pattern, uint32_t patternLength, uint32_t start, caseCompare cmp) const;
  uint32_t index(const RWCString& pattern, uint32_t start = 0, caseCompare cmp = exact) const;
  uint32_t index(const RWCString& pattern, uint32_t patternLength, uint32_t start, caseCompare cmp) const;
  bool contains(const char* pattern, caseCompare cmp = exact) const { return index(pattern, 0u, cmp) != RW_NPOS; }
  bool contains(const RWCString& pattern, caseCompare cmp = exact) const { return index(pattern, 0u, cmp) != RW_NPOS; }
  // First and last occurrence of c before the first NUL.
  uint32_t first(char c) const;
  uint32_t last(char c) const;

  // Searches with a regular expression (defined with RWCRegexp). The form with the
  // out length takes the start explicitly so that index(re, 0) is never ambiguous.
  uint32_t index(const RWCRegexp& pattern, uint32_t start = 0) const;
  uint32_t index(const RWCRegexp& pattern, uint32_t* matchLength, uint32_t start) const;
  RWCSubString operator()(const RWCRegexp& pattern, uint32_t start);
  RWCSubString operator()(const RWCRegexp& pattern);
  const RWCSubString operator()(const RWCRegexp& pattern, uint32_t start) const;
  const RWCSubString operator()(const RWCRegexp& pattern) const;

  // Substrings. operator()(start, length) makes no range check.
  RWCSubString subString(const char* pattern, uint32_t start = 0, caseCompare cmp = exact);
  const RWCSubString subString(const char* pattern, uint32_t start = 0, caseCompare cmp = exact) const;
  RWCSubString operator()(uint32_t start, uint32_t length);
  const RWCSubString operator()(uint32_t start, uint32_t length) const;
  RWCSubString strip(stripType where = trailing, char c = ' ');
  const RWCSubString strip(stripType where = trailing, char c = ' ') const;

  // Checked access raises the [INDEX] bounds error through the class library's
  // handler; the writable form makes the body private first.
  char& operator[](uint32_t i);
  char operator[](uint32_t i) const;
  // Unchecked access.
  char& operator()(uint32_t i);
  char operator()(uint32_t i) const { return m_data[i]; }

  void toLower();
  void toUpper();

  // Stream input. Each empties the string first.
  std::istream& readToDelim(std::istream& is, char delim = '\n');
  std::istream& readLine(std::istream& is, bool skipWhite = true);
  std::istream& readString(std::istream& is);
  std::istream& readToken(std::istream& is);
  std::istream& readFile(std::istream& is);

 private:
  friend class RWCSubString;
  friend RWCString operator+(const RWCString& a, const char* b);
  friend RWCString operator+(const char* a, const RWCString& b);
  friend RWCString operator+(const RWCString& a, const RWCString& b);

  // The concatenation helper: a then b in a body of adjustCapacity(na + nb).
  RWCString(const char* a, uint32_t na, const char* b, uint32_t nb);

  RWCStringRef* pref() const {
    return reinterpret_cast<RWCStringRef*>(m_data - sizeof(RWCStringRef));
  }
  static char* getRep(uint32_t capacity, uint32_t length);
  static void unLink(RWCStringRef* body);
  static char* nullRepData();
  static uint32_t adjustCapacity(uint32_t n);
  void cow();
  void cow(uint32_t n);
  void clone();
  void clone(uint32_t n);
  void assertElement(uint32_t i) const;
  void emptyForReading();
  void finishReading();
  void growTo(uint32_t capacity);

  static uint32_t s_initialCapacity;
  static uint32_t s_resizeIncrement;
  static uint32_t s_maxWaste;

  char* m_data;
};

// A string value as the system passes it around; a plain RWCString with no data of
// its own.
class StringValue : public RWCString {
 public:
  StringValue() = default;
  StringValue(const char* text) : RWCString(text) {}                  // NOLINT
  StringValue(const RWCString& text) : RWCString(text) {}             // NOLINT
  StringValue(const RWCSubString& stretch) : RWCString(stretch) {}    // NOLINT
  StringValue(const StringValue&) = default;
  StringValue& operator=(const StringValue&) = default;
  StringValue& operator=(const RWCString& text) {
    RWCString::operator=(text);
    return *this;
  }
};

RWCString operator+(const RWCString& a, const char* b);
RWCString operator+(const char* a, const RWCString& b);
RWCString operator+(const RWCString& a, const RWCString& b);

// Equality: same length and same bytes. A NUL-terminated text must end exactly at
// the string's length.
bool operator==(const RWCString& a, const char* b);
bool operator==(const RWCString& a, const RWCString& b);
inline bool operator==(const char* a, const RWCString& b) { return b == a; }
inline bool operator!=(const RWCString& a, const char* b) { return !(a == b); }
inline bool operator!=(const char* a, const RWCString& b) { return !(b == a); }
inline bool operator!=(const RWCString& a, const RWCString& b) { return !(a == b); }

// Ordering by compareTo with exact comparison (for sorting).
inline bool operator<(const RWCString& a, const RWCString& b) { return a.compareTo(b) < 0; }
inline bool operator>(const RWCString& a, const RWCString& b) { return a.compareTo(b) > 0; }
inline bool operator<=(const RWCString& a, const RWCString& b) { return a.compareTo(b) <= 0; }
inline bool operator>=(const RWCString& a, const RWCString& b) { return a.compareTo(b) >= 0; }

bool operator==(const RWCSubString& a, const char* b);
bool operator==(const RWCSubString& a, const RWCString& b);
bool operator==(const RWCSubString& a, const RWCSubString& b);
inline bool operator==(const char* a, const RWCSubString& b) { return b == a; }
inline bool operator==(const RWCString& a, const RWCSubString& b) { return b == a; }
inline bool operator!=(const RWCSubString& a, const char* b) { return !(a == b); }
inline bool operator!=(const RWCSubString& a, const RWCString& b) { return !(a == b); }
inline bool operator!=(const RWCSubString& a, const RWCSubString& b) { return !(a == b); }
inline bool operator!=(const char* a, const RWCSubString& b) { return !(b == a); }
inline bool operator!=(const RWCString& a, const RWCSubString& b) { return !(b == a); }

// Converted copies.
RWCString toLower(const RWCString& text);
RWCString toUpper(const RWCString& text);

std::istream& operator>>(std::istream& is, RWCString& text);
std::ostream& operator<<(std::ostream& os, const RWCString& text);

}  // namespace zentor
