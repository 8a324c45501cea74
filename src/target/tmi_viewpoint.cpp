#include "target/tmi_viewpoint.h"

#include <cstdio>

#include "target/target_state.h"

namespace zentor {
namespace {

struct ViewpointState {
  uint32_t selected = 0xFFFFFFFFu;
  uint32_t sameCalls = 0;
  // Holds the text TmiViewpointToText points at: "0x" and at most 8 hex digits.
  char text[16] = {};
};

ViewpointState& State() {
  static ViewpointState state;
  return state;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

uint32_t TmiSelectViewpoint(TargetStatus* status, uint32_t value) {
  State().selected = value;
  TgtSelectContext(value);
  status->m_number = 0;
  return 0;
}

uint32_t TmiSameViewpoint(TargetStatus* status, uint32_t, uint32_t a, uint32_t b, uint32_t* result) {
  ++State().sameCalls;
  *result = a == b ? 1 : 0;
  status->m_number = 0;
  return 0;
}

uint32_t TmiViewpointToText(TargetStatus* status, uint32_t, uint32_t value, const char** text) {
  ViewpointState& state = State();
  if (TmiIsKnownViewpoint(value)) {
    std::snprintf(state.text, sizeof state.text, "0x%lx", static_cast<unsigned long>(value));
  } else {
    state.text[0] = '\0';
  }
  *text = state.text;
  status->m_number = 0;
  return 0;
}

uint32_t TmiViewpointFromText(TargetStatus* status, uint32_t, const char* text, uint32_t* value) {
  status->m_number = 0;
  *value = 0xFFFFFFFFu;
  if (text == nullptr || text[0] != '0' || text[1] != 'x') return 0;
  // Digits are read as far as they go, like a scan with "0x%lx"; a number that needs
  // more than 32 bits names no viewpoint instead of wrapping onto one that exists.
  uint64_t parsed = 0;
  const char* p = text + 2;
  int digit = HexDigitValue(*p);
  if (digit < 0) return 0;
  for (; (digit = HexDigitValue(*p)) >= 0; ++p) {
    parsed = parsed * 16 + static_cast<uint64_t>(digit);
    if (parsed > 0xFFFFFFFFull) return 0;
  }
  uint32_t candidate = static_cast<uint32_t>(parsed);
  if (TmiIsKnownViewpoint(candidate)) *value = candidate;
  return 0;
}

uint32_t TmiIsReservedViewpoint(uint32_t value) { return value == 0xFFFFFFFEu ? 1 : 0; }

void TmiAddKnownViewpoint(uint32_t value) {
  if (TgtIsKnown(value)) return;
  if (TgtCurrentProcessor() < 0) TgtAddProcessor(0);
  TgtAddContext(TgtCurrentProcessor(), value, 0);
}

void TmiRemoveKnownViewpoint(uint32_t value) { TgtRemoveContext(value); }

void TmiClearKnownViewpoints() { ResetTargetState(); }

bool TmiIsKnownViewpoint(uint32_t value) { return TgtIsKnown(value); }

uint32_t TmiSelectedViewpoint() { return State().selected; }

uint32_t TmiSameViewpointCallCount() { return State().sameCalls; }

}  // namespace zentor
