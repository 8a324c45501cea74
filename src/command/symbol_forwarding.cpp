#include "command/symbol_forwarding.h"

#include "core/dv_error.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "support/little_endian.h"
#include "symbols/symbol_lookup.h"
#include "symbols/symbol_values.h"

namespace zentor {
namespace {

using value_bytes::LoadU16;
using value_bytes::LoadU32;

RWCString TokenText() {
  const TokenRecord& token = CurrentToken();
  return RWCString(token.text, token.textLength < TokenRecord::kTextCapacity ? token.textLength : 0);
}

void ThrowIfNotOkay(DVErrorCode status) {
  if (!status.IsOkay()) throw DVError(status);
}

[[noreturn]] void RaiseSingleCharacterIndexExpected() {
  DVError error(kMsgSingleCharacterIndexExpected, kSeverityError, kDisplayByFocus);
  error.SetArg(0, SymbolNameText());
  throw error;
}

}  // namespace

void PushLineLocationAction() {
  const TokenRecord& token = CurrentToken();
  PushLineLocation(LoadU16(reinterpret_cast<const uint8_t*>(token.text)));
}

void FindModuleByNameAction() {
  const RWCString name = TokenText();
  DVErrorCode status;
  (void)FindModuleByName(status, name);
  if (status.IsOkay()) return;
  DVError error(status);
  error.SetArg(0, name);
  throw error;
}

void PushModuleLocationAction() { PushModuleLocation(); }

void RequireNumericValue() {
  const uint16_t kind = ValueStack::TopKind();
  if (kind < kKindOrd1 || kind > kKindReal10) {
    throw DVError(kMsgNumericValueRequired, kSeverityError, kDisplayByFocus);
  }
}

void DereferenceSymbolAction() { DereferenceSymbol(); }

void FindSymbolByNameAction() { FindSymbolByName(TokenText()); }

// A character indexes an array of characters by its code: one character, or a
// length-prefixed string of exactly one; any other value is taken as an int4.
void SubscriptSymbolAction() {
  const uint16_t kind = ValueStack::TopKind();
  if (kind == kKindChar || kind == kKindNString || kind == kKindLString) {
    const uint16_t size = ValueStack::TopSize();
    uint8_t item[ValueStack::kMaxItemSize];
    ValueStack::Pop(item);
    if (kind == kKindLString) {
      if (size != 2) RaiseSingleCharacterIndexExpected();
      SubscriptSymbol(item[1]);
      return;
    }
    if (size != 1) RaiseSingleCharacterIndexExpected();
    SubscriptSymbol(item[0]);
    return;
  }
  uint8_t index[4] = {};
  ValueStack::PopAs(kKindInt4, index);
  SubscriptSymbol(static_cast<int32_t>(LoadU32(index)));
}

void DecodeCurrentSymbolLocation() {
  DVErrorCode status;
  DecodeSymbolRecordLocation(status, 0);
  ThrowIfNotOkay(status);
}

void PushSymbolTypeSize() {
  DVError error(106, kSeverityError, kDisplayByFocus);
  error.SetArg(0, "Symbol queries");
  throw error;
}

}  // namespace zentor
