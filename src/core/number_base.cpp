#include "core/number_base.h"

#include "command/output_writer.h"
#include "command/value_stack.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"

namespace zentor {

namespace {

uint32_t g_numberBase = 10;
uint32_t g_displayBase = 10;

bool IsValidBase(uint32_t base) { return base == 2 || base == 10 || base == 16; }

[[noreturn]] void RaiseBadNumberBase() { throw DVError(kMsgBadNumberBase, kSeverityError, kDisplayByFocus); }

}  // namespace

uint32_t GetNumberBase() { return g_numberBase; }
uint32_t GetDisplayBase() { return g_displayBase; }

DVErrorCode SetNumberBase(uint8_t base) {
  if (!IsValidBase(base)) {
    return DVErrorCode(kMsgBadNumberBase, kSeverityError);
  }
  g_numberBase = base;
  g_displayBase = base;
  return DVErrorCode();
}

void ShowNumberBase() {
  const char* name = "????";
  switch (g_numberBase) {
    case 2: name = "binary"; break;
    case 10: name = "decimal"; break;
    case 16: name = "hex"; break;
    default: break;
  }
  OutputWriter::WriteString(name);
  OutputWriter::FreshLine();
}

void SetNumberBaseFromStack() {
  switch (ValueStack::TopKind()) {
    case kKindOrd1:
    case kKindOrd2:
    case kKindOrd4:
    case kKindInt1:
    case kKindInt2:
    case kKindInt4:
      break;
    default:
      RaiseBadNumberBase();
  }
  uint8_t bytes[ValueStack::kMaxItemSize] = {};
  ValueStack::PopAs(kKindOrd4, bytes);
  const uint32_t base = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                        (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  if (!IsValidBase(base)) {
    RaiseBadNumberBase();
  }
  g_numberBase = base;
  g_displayBase = base;
  MarkAllRegisteredChanged(kRecordOtherView);
}

void PushNumberBase() {
  const uint8_t bytes[4] = {static_cast<uint8_t>(g_numberBase), static_cast<uint8_t>(g_numberBase >> 8),
                            static_cast<uint8_t>(g_numberBase >> 16), static_cast<uint8_t>(g_numberBase >> 24)};
  ValueStack::Push(kKindOrd4, bytes);
}

}  // namespace zentor
