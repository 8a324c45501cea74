#include "core/number_base.h"

#include "core/dv_error.h"
#include "core/value_stack.h"

namespace zentor {

namespace {

uint32_t g_numberBase = 10;
uint32_t g_displayBase = 10;

bool IsValidBase(uint32_t base) { return base == 2 || base == 10 || base == 16; }

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

}  // namespace zentor
