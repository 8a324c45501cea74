#pragma once
// The code ranges of source lines, for stepping by line, running to a line and
// setting breakpoints on lines: for one address the line range object that says
// which line holds it and how far into it the address lies; for a span of lines of
// the current module every code range of those lines, into a caller's array.

#include <cstdint>

#include "symbols/address_lookup.h"

#include "core/address_descriptor.h"
#include "core/unsigned_int64.h"
#include "support/rw_collectable.h"

namespace zentor {

// One code range of a source line; an element whose line is absent ends an array of
// them.
struct LineAddress {
  OptionalLine m_line;
  OrdinalValue m_length;
  AddressDescriptor m_start;
};

// A line's range as an item of the class library's sorted vector: ordered by line.
class RangeListItem : public RWCollectable {
 public:
  RangeListItem() = default;
  explicit RangeListItem(const LineAddress& range) : m_range(range) {}
  RWCollectable* newSpecies() const override { return new RangeListItem(); }
  RWCollectable* copy() const override { return new RangeListItem(*this); }

  const LineAddress& Range() const { return m_range; }
  // -1, 0 or 1 by line number.
  int compareTo(const RWCollectable* other) const override;

 private:
  LineAddress m_range;
};

// The line of one address (the module found from the address).
class SourceLineRange {
 public:
  explicit SourceLineRange(const AddressDescriptor& address) : m_info(address, nullptr) {}
  const AddressLineInfo& Info() const { return m_info; }

 private:
  AddressLineInfo m_info;
};

// The ranges of the current module's lines from `from` through `to` (both of one
// source file, from's line not 0, to not below it), in line order, into `ranges`
// (room for `capacity` elements, capacity not 0): at most capacity - 1 ranges and an
// element with an absent line after them. Each line has one range: from its first
// code in offset order to the next entry of the line table.
void CollectLineRanges(const OptionalLine& from, const OptionalLine& to, LineAddress* ranges, uint32_t capacity);
// The same with bounds given as numbers: of the source file of the given bound, or
// when both are numbers of the file of the location's current line.
void CollectLineRangesBetweenLines(uint16_t from, uint16_t to, LineAddress* ranges, uint32_t capacity);
void CollectLineRangesToLineNumber(const OptionalLine& from, uint16_t to, LineAddress* ranges, uint32_t capacity);
void CollectLineRangesFromLineNumber(uint16_t from, const OptionalLine& to, LineAddress* ranges, uint32_t capacity);
// The ranges of the lines nearest before `line` and of `line` itself (of the file of
// the location's current line), at most capacity - 1 of them in line order: what lies
// above a line of a listing that is paged backwards. When no line before it has code,
// the first range is the line's own (or there is none).
void CollectLineRangesBetweenAddresses(uint16_t line, LineAddress* ranges, uint32_t capacity);

}  // namespace zentor
