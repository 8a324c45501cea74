#include "windows/refresh_pending.h"

namespace zentor {

uint16_t& RefreshPendingWord() {
  static uint16_t word = 0;
  return word;
}

}  // namespace zentor
