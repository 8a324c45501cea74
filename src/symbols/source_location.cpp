#include "symbols/source_location.h"

#include <cstdio>
#include <ios>
#include <sstream>
#include <string>

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

// The lookup stack starts empty: the first nested lookup gives it room
// (BeginNestedSymbolLookup), and most contexts never nest one.
SourceLocation::SourceLocation() = default;

SourceLocation::~SourceLocation() = default;

RWCString SourceLocation::LocationText() const {
  RWCString text("Mod: ");
  text += m_location.m_moduleName;
  if (!m_location.m_procedureName.isNull()) {
    text += "  Proc: ";
    text += m_location.m_procedureName;
  }
  if (m_location.m_line.IsEmpty()) {
    text += "  Address: ";
    text += m_location.m_address.Text();
    return text;
  }
  char number[16];
  std::snprintf(number, sizeof number, "%d", static_cast<int>(m_location.m_line.Get()));
  text += "  Line: #";
  text += number;
  if (m_location.m_offset.Low() != 0 || m_location.m_offset.High() != 0) {
    text += " + ";
    text += AddressOffsetText(m_location.m_offset);
  }
  return text;
}

}  // namespace zentor
