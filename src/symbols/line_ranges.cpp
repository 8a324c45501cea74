#include "symbols/line_ranges.h"

#include <algorithm>

#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"

#include "core/dv_error.h"
#include "support/rw_sorted_vector.h"

namespace zentor {

int RangeListItem::compareTo(const RWCollectable* other) const {
  const auto* item = dynamic_cast<const RangeListItem*>(other);
  if (item == nullptr) return RWCollectable::compareTo(other);
  const int32_t mine = m_range.m_line.Get();
  const int32_t theirs = item->m_range.m_line.Get();
  if (mine == theirs) return 0;
  return mine < theirs ? -1 : 1;
}

namespace {

// The ranges of a span of lines:
// 1. The bounds must be of one file, from present and not 0, to not below it, and
//    there must be room for the end element (internal errors: a caller's fault).
// 2. Every entry of the current module's sorted line table with a line of that file in
//    the span gives the range up to the entry after it; the last entry gives none.
// 3. The lowest (or the highest) capacity - 1 lines are copied in line order, the end
//    element after.
void CollectSpan(const OptionalLine& from, const OptionalLine& to, LineAddress* ranges, uint32_t capacity,
                 bool keepHighest) {
  if (!from.SameValidity(to) || from.IsEmpty()) ZENTOR_INTERNAL_ERROR();
  if (from.Get() == 0) ZENTOR_INTERNAL_ERROR();
  if (to.Get() < from.Get()) ZENTOR_INTERNAL_ERROR();
  if (capacity == 0 || ranges == nullptr) ZENTOR_INTERNAL_ERROR();
  ranges[0] = LineAddress();
  SymbolContext* context = GetCurrentSymbolContext();
  auto* module = context->Location().Location().m_module;
  if (module == nullptr || CurrentLoaderStateOrNull() == nullptr) return;
  LineTable& lines = module->Lines();
  RWSortedVector collected;
  for (uint32_t i = 0; i + 1 < lines.Count(); ++i) {
    const LineAddressEntry& entry = lines.EntryAt(i);
    if (!entry.HasLine()) continue;
    const OptionalLine line = OptionalLine::FromRaw(entry.Source().Line(), entry.Source().FileIndex());
    if (!line.SameValidity(from) || line.Get() < from.Get() || line.Get() > to.Get()) continue;
    if (module->Start().IsNull()) continue;
    const OrdinalValue next = lines.EntryAt(i + 1).Offset();
    LineAddress range;
    range.m_line = line;
    range.m_length = next > entry.Offset() ? next - entry.Offset() : OrdinalValue();
    range.m_start = module->Start() + entry.Offset();
    collected.insert(new RangeListItem(range));
  }
  // A sorted vector is read through its const form: it refuses writable access.
  const RWSortedVector& sorted = collected;
  const uint32_t n = std::min(capacity - 1, sorted.entries());
  const uint32_t skipped = keepHighest ? sorted.entries() - n : 0;
  for (uint32_t i = 0; i < n; ++i) ranges[i] = dynamic_cast<const RangeListItem*>(sorted.at(skipped + i))->Range();
  ranges[n] = LineAddress();
  collected.clearAndDestroy();
}

}  // namespace

void CollectLineRanges(const OptionalLine& from, const OptionalLine& to, LineAddress* ranges, uint32_t capacity) {
  CollectSpan(from, to, ranges, capacity, false);
}

void CollectLineRangesBetweenAddresses(uint16_t line, LineAddress* ranges, uint32_t capacity) {
  const OptionalLine& file = GetCurrentSymbolContext()->Location().Location().m_line;
  CollectSpan(OptionalLine(1, file), OptionalLine(std::max<uint16_t>(line, 1), file), ranges, capacity, true);
}

void CollectLineRangesBetweenLines(uint16_t from, uint16_t to, LineAddress* ranges, uint32_t capacity) {
  const OptionalLine& file = GetCurrentSymbolContext()->Location().Location().m_line;
  CollectLineRanges(OptionalLine(from, file), OptionalLine(to, file), ranges, capacity);
}

void CollectLineRangesToLineNumber(const OptionalLine& from, uint16_t to, LineAddress* ranges, uint32_t capacity) {
  CollectLineRanges(from, OptionalLine(to, from), ranges, capacity);
}

void CollectLineRangesFromLineNumber(uint16_t from, const OptionalLine& to, LineAddress* ranges, uint32_t capacity) {
  CollectLineRanges(OptionalLine(from, to), to, ranges, capacity);
}

}  // namespace zentor
