#include "symbols/type_names.h"

#include <cstdio>

#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_records.h"
#include "symbols/type_translation.h"

#include "core/dv_error.h"

namespace zentor {
namespace {

// Types named through more pointers, arrays and return types than this can only
// refer to themselves.
constexpr uint32_t kDeepestTypeName = 64;

[[noreturn]] void RaiseTypeLoop() { throw DVError(kMsgInvalidTypeRecord, kSeverityInternal, kDisplayByFocus); }

RWCString Decimal(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
  return RWCString(text);
}

bool IsSet(uint32_t reference) { return reference != RecordHandle::kNone; }

RWCString NameOf(const TypeEntryView& entry) { return entry.Name().NameText(GetCurrentSymbolContext()->Cache()); }

bool IsNamed(const TypeEntryView& entry) { return !entry.Name().NameHandle().IsNone(); }

// A pointer's target: under loader format 20 the pointer entry refers to it itself,
// under other formats through the entry its reference names.
uint32_t PointerTarget(const TypeEntryView& pointer) {
  if (LoaderFormat() == kLoaderFormat20) return pointer.Reference();
  if (!IsSet(pointer.Reference()) || pointer.Reference() == 0 || pointer.Reference() > TypeCount()) {
    return RecordHandle::kNone;
  }
  return GetTypeEntryRaw(pointer.Reference()).Reference();
}

// An array's element type and count ("??" in the long form, nothing in the C form,
// when the element has no size).
uint32_t ArrayElement(const TypeEntryView& array) {
  if (!IsSet(array.Reference())) return RecordHandle::kNone;
  return ArrayTypeRecordView::At(GetCurrentSymbolContext()->Cache(), RecordHandle(array.Reference())).ElementType();
}

bool ArrayCount(const TypeEntryView& array, uint32_t element, uint32_t& count) {
  if (!IsSet(element)) return false;
  const uint32_t elementSize = GetTypeEntry(element).Size();
  if (elementSize == 0) return false;
  count = array.Size() / elementSize;
  return true;
}

RWCString LongFormAt(uint32_t typeIndex, SourceLanguage language, uint32_t depth);

RWCString ArrayText(const TypeEntryView& first, SourceLanguage language, uint32_t depth) {
  RWCString text;
  if (IsSet(first.Reference()) &&
      ArrayTypeRecordView::At(GetCurrentSymbolContext()->Cache(), RecordHandle(first.Reference())).Packed() != 0) {
    text += "packed ";
  }
  text += "array(";
  uint32_t element = ArrayElement(first);
  uint32_t count = 0;
  text += ArrayCount(first, element, count) ? Decimal(count) : RWCString("??");
  for (uint32_t level = 0; IsSet(element) && GetTypeEntry(element).Category() == kTypeArray; ++level) {
    if (level > kDeepestTypeName) RaiseTypeLoop();
    const TypeEntryView inner = GetTypeEntry(element);
    element = ArrayElement(inner);
    text += ", ";
    text += ArrayCount(inner, element, count) ? Decimal(count) : RWCString("??");
  }
  text += ") of ";
  if (IsSet(element)) text += LongFormAt(element, language, depth + 1);
  return text;
}

RWCString LongFormAt(uint32_t typeIndex, SourceLanguage language, uint32_t depth) {
  if (depth > kDeepestTypeName) RaiseTypeLoop();
  const TypeEntryView entry = GetTypeEntry(typeIndex);
  const uint32_t category = entry.Category();
  const uint16_t code = entry.PrimitiveCode();
  const bool named = IsNamed(entry);
  RWCString text;
  if (named && category != kTypePrimitive) text = NameOf(entry);
  switch (category) {
    case kTypePrimitive: {
      const uint32_t target = code >= 22 && code <= 26 ? PointerTarget(entry) : RecordHandle::kNone;
      if (IsSet(target)) {
        text += PrimitiveName(language, code);
        text += LongFormAt(target, language, depth + 1);
      } else if (named) {
        text = NameOf(entry) + " (" + PrimitiveName(language, code) + ")";
      } else {
        text += PrimitiveName(language, code);
      }
      break;
    }
    case kTypeSubrange:
      text += "subrange of ";
      text += PrimitiveName(language, code);
      break;
    case kTypeStructure:
      text += "structure";
      break;
    case kTypeEnumeration:
      text += "enumeration";
      break;
    case kTypeSet:
      text += "set";
      break;
    case kTypeQualified:
      text += "constant";
      break;
    case kTypeProcedure: {
      const bool returns = IsSet(entry.Reference());
      if (language == 3) {
        text += returns ? "function " : "subroutine ";
      } else {
        text += language == 5 ? "proc " : "procedure ";
      }
      if (returns) text += LongFormAt(entry.Reference(), language, depth + 1);
      break;
    }
    case kTypeParameter:
      text += "<parameter>";
      break;
    case kTypeList:
      text += "<list>";
      break;
    case kTypeArray:
      text += ArrayText(entry, language, depth);
      break;
    case kTypeLabel:
      text += "label";
      break;
    case kTypeNull:
      text += "<null type>";
      break;
    case kTypePointer:
      text += "pointer";
      break;
    case kTypeFile:
      text += "file";
      break;
    case kTypeSelector:
      text += "selector";
      break;
    case kTypeUnion:
      text += "union";
      break;
    case kTypeBitField:
      text += "bit:";
      text += Decimal(entry.Size() >> 16);
      break;
    case kTypeRegister:
      text += "register";
      break;
    case kTypeVoid:
      text += "void";
      break;
    case kTypeClass:
      text += "class";
      break;
    default:
      text += "<unknown>";
      break;
  }
  return text;
}

bool EndsInBlank(const RWCString& text) { return text.length() != 0 && text.data()[text.length() - 1] == ' '; }

// One step of the C declarator: what the entry puts before and after the name, and
// the type the declarator goes on with.
struct DeclaratorStep {
  RWCString m_prefix;
  RWCString m_suffix;
  bool m_pointer = false;
  uint32_t m_next = RecordHandle::kNone;
};

DeclaratorStep StepOn(const TypeEntryView& entry, SourceLanguage language) {
  DeclaratorStep step;
  const uint32_t category = entry.Category();
  const uint16_t code = entry.PrimitiveCode();
  const bool named = IsNamed(entry);
  const auto tagged = [&](const char* keyword) {
    step.m_prefix = keyword;
    if (named) step.m_prefix += NameOf(entry);
  };
  switch (category) {
    case kTypePrimitive:
      if (code >= 22 && code <= 27) {
        step.m_prefix = PrimitiveName(language, code);
        step.m_pointer = true;
        step.m_next = PointerTarget(entry);
      } else {
        step.m_prefix = named ? NameOf(entry) : RWCString(PrimitiveName(language, code));
      }
      break;
    case kTypeSubrange:
      step.m_prefix = "subrange of ";
      step.m_prefix += PrimitiveName(language, code);
      break;
    case kTypeStructure:
      tagged("struct ");
      break;
    case kTypeEnumeration:
      tagged("enum ");
      break;
    case kTypeQualified:
      step.m_prefix = "const";
      break;
    case kTypeProcedure:
      if (IsSet(entry.Reference())) {
        step.m_next = entry.Reference();
      } else {
        step.m_prefix = "void";
      }
      step.m_suffix = "()";
      break;
    case kTypeParameter:
      step.m_prefix = "<parameter>";
      break;
    case kTypeList:
      step.m_prefix = "<list>";
      break;
    case kTypeArray: {
      step.m_next = ArrayElement(entry);
      uint32_t count = 0;
      step.m_suffix = "[";
      if (ArrayCount(entry, step.m_next, count) && count != 0) step.m_suffix += Decimal(count);
      step.m_suffix += "]";
      break;
    }
    case kTypeLabel:
      step.m_prefix = "label";
      break;
    case kTypeNull:
    case kTypeVoid:
      step.m_prefix = "void";
      break;
    case kTypeUnion:
      tagged("union ");
      break;
    case kTypeBitField:
      step.m_prefix = "bit:";
      step.m_prefix += Decimal(entry.Size() >> 16);
      break;
    case kTypeRegister:
      step.m_prefix = "register";
      break;
    case kTypeClass:
      tagged("class ");
      break;
    default:
      step.m_prefix = "<unknown>";
      break;
  }
  const uint32_t qualifier = entry.Qualifier();
  if (qualifier == 1 || qualifier == 2) {
    if (step.m_prefix.length() != 0 && !EndsInBlank(step.m_prefix)) step.m_prefix += " ";
    step.m_prefix += qualifier == 1 ? "const" : "volatile";
  }
  return step;
}

}  // namespace

RWCString TypeNameFormatter::LongForm(uint32_t typeIndex, SourceLanguage language) {
  return LongFormAt(typeIndex, language, 0);
}

// The declarator is built from the outside in: each step puts its prefix before what
// there is and its suffix after it; a procedure or an array met right after a pointer
// puts what there is in parentheses, so that the pointer binds first.
void TypeNameFormatter::DeclaratorForm(uint32_t typeIndex, SourceLanguage language, RWCString& prefix, RWCString& suffix) {
  prefix = RWCString();
  suffix = RWCString();
  bool parenthesised = false;
  bool pointerSeen = false;
  uint32_t depth = 0;
  for (uint32_t next = typeIndex; IsSet(next); ++depth) {
    if (depth > kDeepestTypeName) RaiseTypeLoop();
    const TypeEntryView entry = GetTypeEntry(next);
    const uint32_t category = entry.Category();
    if (pointerSeen && (category == kTypeProcedure || category == kTypeArray)) {
      prefix = RWCString("(") + prefix;
      suffix += ")";
      parenthesised = true;
    }
    const DeclaratorStep step = StepOn(entry, language);
    prefix = step.m_prefix + prefix;
    suffix += step.m_suffix;
    pointerSeen = step.m_pointer;
    next = step.m_next;
  }
  if (!parenthesised && prefix.length() != 0 && !EndsInBlank(prefix)) prefix += " ";
}

}  // namespace zentor
