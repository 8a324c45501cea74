#include "command/number_base_actions.h"

#include "console/output_writer.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/number_base.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

[[noreturn]] void RaiseBadNumberBase() { throw DVError(kMsgBadNumberBase, kSeverityError, kDisplayByFocus); }

}  // namespace

void ShowNumberBase() {
  const char* name = "????";
  switch (GetNumberBase()) {
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
  const uint32_t base = value_bytes::LoadU32(bytes);
  // A word above 255 is no base, whatever its low byte says.
  if (base > 0xFF || !SetNumberBase(static_cast<uint8_t>(base)).IsOkay()) RaiseBadNumberBase();
  MarkAllRecordsOfKindChanged(kRecordOtherView);
}

void PushNumberBase() {
  uint8_t bytes[4];
  value_bytes::StoreU32(bytes, GetNumberBase());
  ValueStack::Push(kKindOrd4, bytes);
}

}  // namespace zentor
