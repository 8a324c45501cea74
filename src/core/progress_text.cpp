#include "core/progress_text.h"

#include "core/hi_service.h"

namespace zentor {

void ShowProgressText(const char* text) { ShowStatusMessage(text != nullptr ? text : ""); }

}  // namespace zentor
