#pragma once
// AddressDescriptor is the debugger's value type for one place on the target: a
// memory offset, a register, or the null address. Breakpoints, frames, memory views,
// typed locations and ranges all hold one. The layout of the address belongs to the
// target interface: this class keeps the target's address record whole, tests and
// sets only its null mark, and asks the target interface (under the current
// viewpoint) for creation, arithmetic, comparison, text and class tests. It also
// carries the source line of the address, absent unless a caller sets it.

#include <cstdint>

#include "core/dvp_types.h"
#include "core/target_status.h"
#include "core/unsigned_int64.h"
#include "support/rw_collectable.h"
#include "support/rw_cstring.h"

#include <vector>

namespace zentor {

class AddressRange;

// A source line number that may be absent: the number and a valid word (0 = absent).
class OptionalLine {
 public:
  constexpr OptionalLine() = default;
  // `line`, valid exactly when `validity` is.
  constexpr OptionalLine(uint16_t line, const OptionalLine& validity) : m_line(line), m_valid(validity.m_valid) {}
  // A present line.
  static constexpr OptionalLine Valid(uint16_t line) {
    OptionalLine present;
    present.m_line = line;
    present.m_valid = 1;
    return present;
  }
  // Both words as stored in an image.
  static constexpr OptionalLine FromRaw(uint16_t line, uint16_t valid) {
    OptionalLine raw;
    raw.m_line = line;
    raw.m_valid = valid;
    return raw;
  }

  // -1 when absent, else the number.
  int32_t Get() const { return m_valid == 0 ? -1 : static_cast<int32_t>(m_line); }
  bool IsEmpty() const { return m_valid == 0; }
  void Clear() { m_valid = 0; }
  // -1 marks the line absent; any other number replaces the number and leaves the
  // valid word as it is (so an absent line stays absent).
  void SetLine(int32_t line) {
    if (line == -1) {
      m_valid = 0;
    } else {
      m_line = static_cast<uint16_t>(line);
    }
  }
  bool SameValidity(const OptionalLine& other) const { return m_valid == other.m_valid; }
  bool operator==(const OptionalLine& other) const { return SameValidity(other) && Get() == other.Get(); }
  bool operator!=(const OptionalLine& other) const { return !(*this == other); }

  uint16_t RawLine() const { return m_line; }
  uint16_t RawValid() const { return m_valid; }

 private:
  uint16_t m_line = 0;
  uint16_t m_valid = 0;
};

// Results of AddressDescriptor::Compare.
inline constexpr uint32_t kAddressEqual = 0;
inline constexpr uint32_t kAddressLess = 1;
inline constexpr uint32_t kAddressGreater = 2;
inline constexpr uint32_t kAddressNotComparable = 3;

// Results of the range tests: outside, at the start, after the start up to the end.
inline constexpr uint32_t kOutsideRange = 0;
inline constexpr uint32_t kAtRangeStart = 1;
inline constexpr uint32_t kInsideRange = 2;

class AddressDescriptor : public RWCollectable {
 public:
  // The shared null address, the base argument of callers that have no base.
  static const AddressDescriptor& Null();

  // The null address, line absent.
  AddressDescriptor();
  AddressDescriptor(const AddressDescriptor& other) = default;
  // That record; line absent.
  explicit AddressDescriptor(const TargetAddressRecord& record);
  // Created by the target from an address specification (internal error when it stays null).
  explicit AddressDescriptor(const AddressSpecification& specification);
  // A target address of a target-defined type at *offset (0 when null); the target
  // requires the pointer type.
  static AddressDescriptor FromTypedOffset(const DVPTypeInfo& type, const uint32_t* offset);
  // The target's address for an offset of an address kind relative to a base (kind 4
  // needs a real base).
  AddressDescriptor(const OrdinalValue& offset, uint32_t addressKind, const AddressDescriptor& base);
  // The address of the location an expression text names (TypedLocation's
  // constructor from a text, with its modes and errors).
  AddressDescriptor(const RWCString& text, int32_t mode);
  ~AddressDescriptor() override;

  AddressDescriptor& operator=(const AddressDescriptor& other);
  // Marks the line absent and takes the record.
  AddressDescriptor& operator=(const TargetAddressRecord& record);
  void SetFromOffset(const OrdinalValue& offset, uint32_t addressKind, const AddressDescriptor& base);
  void MakeNull() { m_record.m_nullMark = 1; }
  void SetLine(const OptionalLine& line) { m_line = line; }

  const TargetAddressRecord& Record() const { return m_record; }
  const OptionalLine& Line() const { return m_line; }

  bool IsNull() const { return m_record.m_nullMark != 0; }
  bool IsZero() const;
  bool IsRegister() const;
  // The offset word (memory offset or register number); class 20 or 27 only.
  void Offset(uint32_t* offset) const;
  uint32_t Offset() const;
  // 1 when the record's class is `addressClass`; otherwise the target's 2003 is thrown.
  uint32_t CheckClass(uint32_t addressClass) const;
  uint32_t CheckSameClass(const AddressDescriptor& other) const { return CheckClass(other.m_record.m_addressClass); }
  AddressDescriptor SpaceStart() const;
  AddressDescriptor SpaceEnd() const;
  uint32_t SpaceKind() const;
  // "<null>", else the target's text ("0x%08lx" of a memory offset, a register name).
  RWCString Text() const;
  RWCString GetText() const { return Text(); }
  // The address as a symbol name: the qualified name of the symbol there, else its
  // full name, else the plain text (names that are only "0x..." numbers don't count).
  RWCString SymbolicText() const;
  // The addresses of the current module's line records that carry this address's
  // line; empty when the line is absent.
  std::vector<AddressDescriptor> SameLineAddresses() const;
  uint32_t IsInRange(const AddressRange& range) const;

  // 0 equal, 1 this is less, 2 this is greater, 3 not comparable; null is less than
  // any address and two null addresses are equal.
  uint32_t Compare(const AddressDescriptor& other) const;
  uint32_t CompareWith(const AddressDescriptor& other) const { return Compare(other); }
  // 1 when exactly one is null or the kinds differ; both null is an internal error.
  uint32_t IsIncomparable(const AddressDescriptor& other) const;

  // Moves by a byte count (the target requires a memory address); the line stays.
  AddressDescriptor& operator+=(const OrdinalValue& bytes);
  AddressDescriptor& operator-=(const OrdinalValue& bytes);
  AddressDescriptor operator+(const OrdinalValue& bytes) const { return AddressDescriptor(*this) += bytes; }
  AddressDescriptor operator-(const OrdinalValue& bytes) const { return AddressDescriptor(*this) -= bytes; }
  AddressDescriptor& operator++();
  AddressDescriptor operator++(int);
  AddressDescriptor& operator--();
  AddressDescriptor operator--(int);
  // This minus other in bytes: 138 "Invalid pointer operation." when this is less or
  // not comparable.
  OrdinalValue operator-(const AddressDescriptor& other) const;

  // 0 outside, 1 at the start, 2 after the start up to the (inclusive) end.
  uint32_t IsWithinRange(const AddressDescriptor& start, const AddressDescriptor& end) const;
  uint32_t IsWithinLength(const AddressDescriptor& start, const OrdinalValue& length) const;

 private:
  TargetAddressRecord m_record;
  OptionalLine m_line;
};

// Message numbers of the address and location operations.
inline constexpr uint32_t kInvalidPointerOperation = 138;

}  // namespace zentor
