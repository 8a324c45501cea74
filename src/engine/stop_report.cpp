#include "engine/stop_report.h"

namespace zentor {
namespace {

RWCString& LastStopText() {
  static RWCString text;
  return text;
}

}  // namespace

void SetLastStopText(const RWCString& text) { LastStopText() = text; }

void ClearLastStopText() { LastStopText() = RWCString(); }

RWCString CopyLastStopText() { return LastStopText(); }

}  // namespace zentor
