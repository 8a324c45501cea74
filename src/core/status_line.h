#pragma once
// The persistent text of the status line: the location captions of the symbol
// context (where the program stopped, what the user browses). Transient messages
// (ShowStatusMessage) cover it for a while; RestoreStatusText shows it again. In
// console mode the text is kept but nothing is shown.

#include <cstdint>
#include <string>

namespace zentor {

// Columns of the status line; the last 15 are kept for the viewpoint's name.
inline constexpr uint32_t kStatusLineWidth = 80;
// The persistent text holds at most this many characters; longer texts are cut.
inline constexpr uint32_t kMaxStatusTextLength = 255;

uint32_t StatusLineWidth();
// Sets the persistent text (cut to 255 characters; null is taken as empty) and
// shows it.
void SetStatusText(const char* text);
const std::string& PersistentStatusText();

}  // namespace zentor
