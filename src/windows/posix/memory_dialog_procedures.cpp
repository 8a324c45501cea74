#include "windows/memory_dialogs.h"

namespace zentor {

// The native program has no dialog templates; its tests drive the bodies' events.
void ShowMemoryDisplayDialog(int32_t) {}
void ShowMemorySaveDialog(int32_t) {}

}  // namespace zentor
