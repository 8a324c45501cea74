#include "gui/progress_text.h"

#include "gui/hi_service.h"

namespace zentor {

void ShowProgressText(const char* text) { ShowStatusMessage(text != nullptr ? text : ""); }

}  // namespace zentor
