#include "command/grammar_object.h"

#include "command/command_parser.h"
#include "command/postfix_executor.h"
#include "console/command_device.h"
#include "core/address_descriptor.h"
#include "core/dvp_types.h"
#include "core/message_table.h"
#include "core/value_stack.h"
#include "symbols/symbol_lookup.h"
#include "support/rw_regex.h"

#include <cstring>

namespace zentor {
namespace {


struct ProductionRow {
  int32_t kind;
  const char* prefix;
};

constexpr ProductionRow kProductions[] = {
    {kProductionFromCode, ""},
    {kProductionExpression, "_PE_"},
    {kProductionOperandRange, "_PS_"},
    {kProductionLocation, "_PA_"},
    {kProductionAddressContext, "_AC_"},
    {kProductionCondition, "_IE_"},
    {kProductionPassOutput, "_PF_"},
    {kProductionCommand, "_DC_"},
    {kProductionLocationClass2, "_PA_"},
    {kProductionLocationClass3, "_PA_"},
};

const char* PrefixOf(int32_t kind) {
  for (const ProductionRow& row : kProductions) {
    if (row.kind == kind) return row.prefix;
  }
  return nullptr;
}

const RWCRegexp& TrailingBlankPattern() {
  static const RWCRegexp pattern("[ \b\f\n\r\t][ \b\f\n\r\t]+$");
  return pattern;
}

bool IsWhiteSpace(char ch) {
  return ch == ' ' || ch == '\b' || ch == '\f' || ch == '\n' || ch == '\r' || ch == '\t';
}

// Drops value-stack items until `depth` remain.
void DropValueStackTo(uint32_t depth) {
  for (uint32_t now = ValueStack::Depth(); now > depth; --now) ValueStack::Drop();
}

// A parse in grammar-object mode stops at the end of the text's line; whatever the
// command string still holds (a second line) must not reach the command loop as
// commands, so the device is ended here.
void EndCommandStringsAbove(uint16_t depth) {
  while (DeviceStackDepth() > depth) EndDevice();
}

}  // namespace

RWCString ReduceTrailingWhiteSpace(const RWCString& text) {
  const uint32_t length = text.length();
  if (length < 2 || !IsWhiteSpace(text.data()[length - 1]) || !IsWhiteSpace(text.data()[length - 2])) return text;
  const uint32_t at = TrailingBlankPattern().index(text);
  if (at == RW_NPOS) return text;
  return RWCString(text.data(), at + 1);
}

GrammarObject::GrammarObject() = default;

// 1. An empty text, or one of white space only, is a syntax error without parsing.
// 2. The prefix and the text go to the parser as one command string; a failed parse
//    leaves 102 and no code (code of a half-parsed text must never run).
GrammarObject::GrammarObject(const char* text, int32_t kind) {
  const RWCString reduced = ReduceTrailingWhiteSpace(RWCString(text != nullptr ? text : ""));
  bool onlyWhiteSpace = true;
  for (uint32_t i = 0; i < reduced.length(); ++i) onlyWhiteSpace = onlyWhiteSpace && IsWhiteSpace(reduced.data()[i]);
  if (onlyWhiteSpace) {
    m_status.Set(kMsgExpressionSyntaxError, kSeverityError);
    return;
  }
  if (!Name(reduced.data(), kind)) return;
  RWCString command(m_prefix);
  command += " ";
  command += m_text;
  const uint16_t depth = DeviceStackDepth();
  MemoryFileHandle code = kNullMemoryFile;
  bool parsed = false;
  try {
    PushCommandString(command.data());
    parsed = CommandParserLL::ParseCommand(kParseForGrammarObject, &code);
    EndCommandStringsAbove(depth);
  } catch (const DVError& error) {
    if (code != kNullMemoryFile) DestroyMemoryFile(code);
    EndCommandStringsAbove(depth);
    // A user break and failures of the program itself are not the text's fault.
    if (error.Number() == kMsgUserBreak || error.Severity() >= kSeverityInternal) throw;
    // A text that does not parse is a syntax error, whatever stopped the parse (a
    // literal too large, a part of the command this build lacks); the error that
    // stopped it stays as the last error, which says more.
    m_status.Set(kMsgExpressionSyntaxError, kSeverityError);
    m_lastError = std::make_unique<DVError>(error);
    return;
  }
  if (!parsed) {
    if (code != kNullMemoryFile) DestroyMemoryFile(code);
    m_status.Set(kMsgExpressionSyntaxError, kSeverityError);
    return;
  }
  m_code = code;
  m_status = FlushMemoryFile(m_code);
}

GrammarObject::GrammarObject(MemoryFileHandle code, const char* text) {
  m_text = text != nullptr ? text : "";
  m_text += "\r";
  MemoryFile& source = MemoryFileOf(code);
  const uint32_t position = source.Position();
  MemoryFileHandle copy = kNullMemoryFile;
  m_status = CreateMemoryFile(-1, 1, &copy);
  if (!m_status.IsOkay()) return;
  m_code = copy;
  m_status = source.Seek(0);
  if (m_status.IsOkay()) m_status = source.CopyTo(MemoryFileOf(m_code), 1, source.Size());
  source.Seek(position);
}

GrammarObject::GrammarObject(const GrammarObject& other) {
  other.CheckSignature();
  CopyFrom(other, DVErrorCode());
}

GrammarObject& GrammarObject::operator=(const GrammarObject& other) {
  CheckSignature();
  other.CheckSignature();
  if (this == &other) return *this;
  ReleaseCode();
  CopyFrom(other, other.m_status);
  return *this;
}

GrammarObject::~GrammarObject() {
  // A destructor must not throw: a damaged object is left as it is.
  if (m_signature != kSignature) return;
  ReleaseCode();
  m_lastError.reset();
  m_signature = kDestroyedSignature;
}

void GrammarObject::CheckSignature() const {
  if (m_signature != kSignature) ZENTOR_INTERNAL_ERROR();
}

bool GrammarObject::Name(const char* text, int32_t kind) {
  const char* prefix = PrefixOf(kind);
  if (prefix == nullptr) {
    m_status.Set(kMsgUnknownProduction, kSeverityInternal);
    return false;
  }
  m_prefix = prefix;
  m_text = ReduceTrailingWhiteSpace(RWCString(text));
  m_text += "\r";
  ResetSymbolStackDepth();
  return true;
}

// The status is `status`, or that of copying the code when the copy fails; the
// source's last error is copied with it.
void GrammarObject::CopyFrom(const GrammarObject& other, DVErrorCode status) {
  m_prefix = other.m_prefix;
  m_text = other.m_text;
  m_lastError = other.m_lastError != nullptr ? std::make_unique<DVError>(*other.m_lastError) : nullptr;
  m_code = kNullMemoryFile;
  m_status = status;
  if (other.m_code == kNullMemoryFile) return;
  MemoryFileHandle copy = kNullMemoryFile;
  DVErrorCode copied = CreateMemoryFile(-1, 1, &copy);
  if (copied.IsOkay()) {
    m_code = copy;
    MemoryFile& source = MemoryFileOf(other.m_code);
    const uint32_t position = source.Position();
    copied = source.Seek(0);
    if (copied.IsOkay()) copied = source.CopyTo(MemoryFileOf(m_code), 1, source.Size());
    source.Seek(position);
  }
  if (!copied.IsOkay()) m_status = copied;
}

void GrammarObject::ReleaseCode() {
  if (m_code != kNullMemoryFile) DestroyMemoryFile(m_code);
  m_code = kNullMemoryFile;
}

DVErrorCode GrammarObject::Status() const {
  CheckSignature();
  return m_status;
}

// 1. Without code: 100 in the status and the last error.
// 2. A marker goes under whatever the run leaves; the topmost item above it is the
//    result. The value stack and the code stack go back to their depths before the
//    run whatever happens: a run that failed part-way, or left more than one item,
//    must not leave anything behind for the command around it.
void GrammarObject::Evaluate(DVErrorCode* status, uint16_t* resultKind, uint8_t* value) {
  CheckSignature();
  *resultKind = 0;
  if (m_code == kNullMemoryFile) {
    m_status.Set(kMsgExpressionExecutionError, kSeverityError);
    if (m_lastError == nullptr) {
      m_lastError = std::make_unique<DVError>(kMsgExpressionExecutionError, kSeverityError, kDisplayByFocus);
    } else {
      m_lastError->Set(kMsgExpressionExecutionError, kSeverityError, kDisplayByFocus, nullptr);
    }
    *status = m_status;
    return;
  }
  const uint32_t valueDepth = ValueStack::Depth();
  const int32_t codeDepth = PostfixExecutor::CodeStackDepth();
  try {
    PushMarker();
    ResetSymbolStackDepth();
    PostfixExecutor::Run(m_code);
    if (ValueStack::TopKind() != kKindMarker) {
      *resultKind = ValueStack::TopKind();
      ValueStack::Pop(value);
    }
    DropValueStackTo(valueDepth);
    if (m_lastError != nullptr) m_lastError->Reset();
    m_status.SetOkay();
  } catch (const DVError& error) {
    PostfixExecutor::PopCodesTo(codeDepth);
    DropValueStackTo(valueDepth);
    *resultKind = 0;
    m_status.Set(error.Number(), error.Severity());
    m_lastError = std::make_unique<DVError>(error);
  }
  *status = m_status;
}

void GrammarObject::LastError(DVError* error) const {
  CheckSignature();
  if (m_lastError != nullptr) {
    *error = *m_lastError;
  } else {
    *error = DVError(0, 0, kDisplayByFocus);
  }
}

const RWCString& GrammarObject::Prefix() const { return m_prefix; }
const RWCString& GrammarObject::Text() const { return m_text; }
MemoryFileHandle GrammarObject::Code() const { return m_code; }

DVErrorCode ExecuteTextInto(const char* text, int32_t kind, uint16_t* resultKind, uint8_t* value, DVError* error) {
  *resultKind = 0;
  GrammarObject object(text, kind);
  DVErrorCode status = object.Status();
  if (!status.IsOkay()) {
    // An error raised while the text was parsed comes with its arguments.
    object.LastError(error);
    if (error->IsOkay()) *error = DVError(status);
    return status;
  }
  object.Evaluate(&status, resultKind, value);
  object.LastError(error);
  return status;
}

DVErrorCode ExecuteText(const char* text, int32_t kind, uint16_t* resultKind, uint8_t* value) {
  DVError dropped;
  return ExecuteTextInto(text, kind, resultKind, value, &dropped);
}

// 1. Run the text.
// 2. Make the result an address: an integer through the target with the access class
//    of the production kind; a reference, symbol or location as the location it
//    names; an inactive symbol is a location kind of its own without an address.
DVErrorCode EvaluateTextToLocationInto(const char* text, int32_t kind, uint32_t* locationKind,
                                       TypedLocation* location, DVError* error) {
  uint16_t resultKind = 0;
  uint8_t value[ValueStack::kMaxItemSize];
  DVErrorCode status = ExecuteTextInto(text, kind, &resultKind, value, error);
  if (!status.IsOkay()) return status;
  try {
    if ((resultKind >= kKindOrd1 && resultKind <= kKindInt8) || resultKind == kKindOrdinal) {
      uint32_t accessClass = 0;
      if (kind == kProductionLocation) accessClass = 1;
      if (kind == kProductionLocationClass2) accessClass = 2;
      if (kind == kProductionLocationClass3) accessClass = 3;
      *locationKind = GetValueKindSize(resultKind) < 9 ? kLocationFromSmallInteger : kLocationFromWideInteger;
      ValueStack::PushSized(resultKind, GetValueKindSize(resultKind), value);
      ValueStack::IntegerTopToLocation(accessClass, AddressDescriptor::Null());
      *location = ValueStack::PopLocation();
    } else if (resultKind == kKindPointerLocation) {
      *location = PointerLocation::ReadImage(value).Location();
      const int32_t code = location->Type().Code();
      *locationKind = code == kKindOrd1 ? kLocationOrdinalPointer
                                        : (code == kKindOffset ? kLocationOffsetType : kLocationTyped);
    } else if (resultKind == kKindSymbolValue || resultKind == kKindTypedLocation) {
      *location = resultKind == kKindSymbolValue ? SymbolValueItem::ReadImage(value).Location()
                                                 : TypedLocation::ReadImage(value);
      *locationKind = location->Type().Code() == kKindOffset ? kLocationOffsetType : kLocationTyped;
    } else if (resultKind == kKindInactiveSymbol) {
      *locationKind = kLocationInactive;
    } else {
      DVError refused(kMsgNotResolvableToAddress, kSeverityError, kDisplayByFocus);
      *error = refused;
      return DVErrorCode(kMsgNotResolvableToAddress, kSeverityError);
    }
  } catch (const DVError& failure) {
    *error = failure;
    return DVErrorCode(failure.Number(), failure.Severity());
  }
  return status;
}

DVErrorCode EvaluateTextToLocation(const char* text, int32_t kind, uint32_t* locationKind, TypedLocation* location) {
  DVError dropped;
  return EvaluateTextToLocationInto(text, kind, locationKind, location, &dropped);
}

}  // namespace zentor
