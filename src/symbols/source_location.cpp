#include "symbols/source_location.h"

#include <cstdio>
#include <cstring>
#include <ios>
#include <sstream>
#include <string>
#include <string_view>

#include "core/dv_error.h"
#include "core/value_display.h"

namespace zentor {

// The stream's own base flags are cleared so that the display base decides.
RWCString DisplayIntegerText(const DisplayInteger& value) {
  std::ostringstream stream;
  stream.unsetf(std::ios_base::basefield);
  stream << value;
  const std::string text = stream.str();
  return RWCString(text.data(), static_cast<uint32_t>(text.size()));
}

RWCString AddressOffsetText(const OrdinalValue& offset) {
  return DisplayIntegerText(DisplayInteger::DisplayInteger_FromAddress(offset.Low()));
}

// The lookup stack starts empty: a context is made for every viewpoint and every
// session, most never nest a lookup, and room for 64 entries of a few hundred bytes
// each cost more than the rest of the context. BeginNestedSymbolLookup grows it.
SourceLocation::SourceLocation() = default;

SourceLocation::~SourceLocation() = default;

RWCString SourceLocation::LocationText(std::string_view prefix) const {
  RWCString where;
  char number[16] = "";
  RWCString offset;
  const bool atLine = !m_location.m_line.IsEmpty();
  if (!atLine) {
    where = m_location.m_address.Text();
  } else {
    std::snprintf(number, sizeof number, "%d", static_cast<int>(m_location.m_line.Get()));
    if (m_location.m_offset.Low() != 0 || m_location.m_offset.High() != 0) offset = AddressOffsetText(m_location.m_offset);
  }
  const bool withProcedure = !m_location.m_procedureName.isNull();
  const std::string_view parts[] = {
      prefix,
      "Mod: ",
      std::string_view(m_location.m_moduleName.data(), m_location.m_moduleName.length()),
      withProcedure ? "  Proc: " : "",
      withProcedure ? std::string_view(m_location.m_procedureName.data(), m_location.m_procedureName.length())
                    : std::string_view(),
      atLine ? "  Line: #" : "  Address: ",
      atLine ? std::string_view(number) : std::string_view(where.data(), where.length()),
      offset.length() != 0 ? " + " : "",
      std::string_view(offset.data(), offset.length()),
  };
  // The status line and the captions ask for the text at every move: it is put
  // together on the stack and made a string once, where growing a string part by
  // part copied it several times.
  char joined[256];
  size_t length = 0;
  for (const std::string_view part : parts) length += part.size();
  if (length <= sizeof joined) {
    size_t at = 0;
    for (const std::string_view part : parts) {
      if (!part.empty()) std::memcpy(joined + at, part.data(), part.size());
      at += part.size();
    }
    return RWCString(joined, static_cast<uint32_t>(length));
  }
  RWCString text;
  for (const std::string_view part : parts) text.append(part.data(), static_cast<uint32_t>(part.size()));
  return text;
}

}  // namespace zentor
