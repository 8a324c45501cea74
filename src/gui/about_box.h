#pragma once
// The About box and the INTRO box: the target interface's product record (vendor,
// product name, "Version " and the version, notice, and an optional further text) on
// the statics 150 to 154, read each time a box opens, so the box always names the
// interface in use. The About box has no help topic. The INTRO box is centred over
// the frame and closes itself after two seconds; nothing opens it.

#include <cstdint>

namespace zentor {

inline constexpr int32_t kAboutFirstText = 150;
inline constexpr int32_t kAboutTextCount = 5;
// How long the INTRO box shows.
inline constexpr uint32_t kIntroMilliseconds = 2000;

// The About box, modal over the frame.
void ShowAboutDialog();
// The product texts on the dialog's statics; the further text only when the record
// has one.
void FillProductTexts(int32_t dialogId);
// "Version " and the version text, which is cut to 119 characters.
void FormatVersionLine(const char* version, char* buffer, uint32_t size);

// The INTRO box, modal over the frame.
void ShowIntroDialog();

}  // namespace zentor
