// The names by which symbol objects are shown (full, qualified, access path, short),
// each built once from the object's resolution stamp and kept, and the description
// the views ask for: category, type texts and storage class.

#include "symbols/symbol_object.h"

#include <algorithm>
#include <cstring>

#include "symbols/loader_library.h"
#include "symbols/source_location.h"
#include "symbols/symbol_context.h"
#include "symbols/type_names.h"

#include "core/dv_error.h"
#include "support/rw_regex.h"

namespace zentor {
namespace {

// What follows the last separator of a name (":", ".", "#", "[" or "(").
const RWCRegexp& LastComponent() {
  static const RWCRegexp pattern("[:\\.#\\[(][^:\\.#\\[(]*$");
  return pattern;
}

RWCString OffsetSuffix(const OrdinalValue& offset) {
  if (offset == 0u) return RWCString();
  return RWCString(" + ") + AddressOffsetText(offset);
}

// Copies a text into a field of a record, cut to the field.
void CopyCut(char* field, uint32_t size, const RWCString& text) {
  const uint32_t length = std::min<uint32_t>(text.length(), size - 1);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

}  // namespace

const SymbolObject& SymbolObject::Root() const {
  const SymbolObject* root = this;
  while (root->m_mode == 1 && root->m_parent != nullptr) root = root->m_parent;
  return *root;
}

RWCString SymbolObject::PlaceText() const { return m_location.Text(); }

// The text of a root object:
// 1. Scoped (module, procedure, label): its place's text without module and
//    procedure names; else ":" module "." procedure, then "." label (no variable) or
//    "#" variable (for code the line), then the second offset.
// 2. Any other: ":" module "." procedure "." variable; its place's text when it has
//    no variable or lies inside one (second offset not 0).
RWCString SymbolObject::RootText() const {
  const AddressNames& names = m_stamp;
  const bool module = names.m_module.length() != 0;
  const bool procedure = names.m_procedure.length() != 0;
  if (IsScoped()) {
    if (!module && !procedure) return PlaceText();
    RWCString text;
    if (module) text += RWCString(":") + names.m_module;
    if (module && procedure) text += ".";
    if (procedure) text += names.m_procedure;
    if (names.m_variable.length() == 0) {
      if (names.m_label.length() != 0) text += RWCString(".") + names.m_label;
    } else {
      text += RWCString("#") + names.m_variable;
    }
    return text + OffsetSuffix(m_secondOffset);
  }
  if (names.m_variable.length() == 0 || m_secondOffset != 0u) return PlaceText();
  RWCString text;
  if (module) text += RWCString(":") + names.m_module + ".";
  if (procedure) text += names.m_procedure + ".";
  return text + names.m_variable;
}

RWCString SymbolObject::FullName() {
  if (m_flags.testBit(kFullNameCached)) return m_fullName;
  const SymbolObject& root = Root();
  if (m_mode == 0) {
    m_fullName = root.RootText();
  } else {
    // The member texts from the root's child down to this object.
    std::vector<const SymbolObject*> chain;
    for (const SymbolObject* at = this; at != &root && at != nullptr; at = at->m_parent) chain.push_back(at);
    RWCString path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) path += (*it)->m_memberText;
    m_fullName = path.length() == 0 ? PlaceText() : root.RootText() + path;
  }
  m_flags.setBit(kFullNameCached);
  return m_fullName;
}

RWCString SymbolObject::QualifiedName() {
  if (m_flags.testBit(kQualifiedNameCached)) return m_qualifiedName;
  if (m_mode == 0 && IsScoped() && m_stamp.m_module.length() != 0) {
    if (m_stamp.m_variable.length() != 0) {
      m_qualifiedName =
          RWCString(":") + m_stamp.m_module + "#" + m_stamp.m_variable + OffsetSuffix(m_secondOffset);
    } else {
      m_qualifiedName = AccessPathName();
    }
  } else {
    m_qualifiedName = PlaceText();
  }
  m_flags.setBit(kQualifiedNameCached);
  return m_qualifiedName;
}

RWCString SymbolObject::AccessPathName() {
  if (m_flags.testBit(kAccessPathCached)) return m_accessPathName;
  const bool module = m_stamp.m_module.length() != 0;
  const bool procedure = m_stamp.m_procedure.length() != 0;
  if (m_mode == 0 && IsScoped() && (module || procedure)) {
    RWCString text;
    if (module) text += RWCString(":") + m_stamp.m_module;
    if (module && procedure) text += ".";
    if (procedure) text += m_stamp.m_procedure;
    m_accessPathName = text + OffsetSuffix(m_firstOffset);
  } else {
    m_accessPathName = PlaceText();
  }
  m_flags.setBit(kAccessPathCached);
  return m_accessPathName;
}

// The short name: of a root object the last component of its full name (without a
// leading ":" or "."), of a member its member text (without a leading ".").
RWCString SymbolObject::ShortName() {
  if (m_flags.testBit(kShortNameCached)) return m_shortName;
  RWCString text;
  if (m_mode == 0) {
    text = FullName();
    const uint32_t last = text.index(LastComponent(), 0);
    if (last != RW_NPOS) text = RWCString(text.data() + last);
    if (text.length() != 0 && (text.data()[0] == ':' || text.data()[0] == '.')) text = RWCString(text.data() + 1);
  } else {
    text = m_memberText;
    if (text.length() != 0 && text.data()[0] == '.') text = RWCString(text.data() + 1);
  }
  m_shortName = text;
  m_flags.setBit(kShortNameCached);
  return m_shortName;
}

// The description: category and detail; the type texts (the C declarator for the
// languages of C, the long form and two blanks for the others); the storage class of
// a symbol (a register, or for the other languages a place on the frame too). A type
// that cannot be named leaves its texts empty and says why.
DVErrorCode SymbolObject::Describe(SymbolDescription& description) {
  description = SymbolDescription();
  description.m_category = static_cast<uint32_t>(m_category);
  SymbolContext* context = Context();
  if (context == nullptr) return DVErrorCode();
  try {
    const CurrentSymbolContextScope current(context);
    if (m_category == kSymbolScalar) {
      description.m_detail = GetTypeEntry(m_typeIndex).PrimitiveCode();
    } else if (m_category == kSymbolArray || m_category == kSymbolPointer) {
      description.m_detail = static_cast<uint32_t>(m_lowerBound);
    }
    RWCString prefix;
    RWCString suffix;
    const bool c = m_language == 0 || m_language == 6;
    if (c) {
      TypeNameFormatter::DeclaratorForm(m_typeIndex, m_language, prefix, suffix);
    } else {
      prefix = TypeNameFormatter::LongForm(m_typeIndex, m_language) + "  ";
    }
    CopyCut(description.m_typeText, SymbolDescription::kTypeTextSize, prefix);
    CopyCut(description.m_typeSuffix, SymbolDescription::kTypeSuffixSize, suffix);
    RWCString storage;
    if (m_description.m_symbolSet != 0) {
      const uint8_t flags = m_description.m_symbol.m_location.m_flags;
      if ((flags & kLocationRegister) != 0) {
        storage = "register";
      } else if (!c && (flags & kLocationStackRelative) != 0) {
        storage = "stack relative";
      } else if (!c && (flags & kLocationArgumentBlock) != 0) {
        storage = "arg block";
      }
    }
    CopyCut(description.m_storageClass, SymbolDescription::kStorageClassSize, storage);
  } catch (const DVError& error) {
    return DVErrorCode(error.Number(), error.Severity() != 0 ? error.Severity() : kSeverityError);
  }
  return DVErrorCode();
}

}  // namespace zentor
