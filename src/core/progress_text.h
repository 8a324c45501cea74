#pragma once
// Transient texts of the status line that report the progress of a long operation
// ("Loading global symbols....", " 42% symbolics"). They cover the persistent text
// until it is shown again; in console mode nothing is shown.

namespace zentor {

// Shows the text now; null is taken as empty. A repaint of the status part follows
// through RefreshStatusPane when the caller wants it at once.
void ShowProgressText(const char* text);

}  // namespace zentor
