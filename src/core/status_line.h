#pragma once
// The status line of each viewpoint: a persistent text (the location caption of the
// symbol context: where the program stopped, what the user browses), covered for a
// while by a transient one (the symbol loaders' progress, a one-line message), and at
// its right end the viewpoint's last target event ("RUNNING"). The functions keep the
// two texts, compose the line to the line width and store it as the current
// viewpoint's status text in the viewpoint manager, from which the General window
// paints it. In console mode the line is kept but never shown.

#include <cstdint>
#include <string>

namespace zentor {

// Columns of the status line.
inline constexpr uint32_t kStatusLineWidth = 80;
// The persistent and the transient text hold at most this many characters.
inline constexpr uint32_t kMaxStatusTextLength = 254;
// The part of the General window that RefreshStatusPane repaints for the line.
inline constexpr uint32_t kStatusPaneLine = 2;

uint32_t StatusLineWidth();

// Sets the persistent text (cut to 254 characters; null is taken as empty), shows it
// and composes the line.
void SetStatusText(const char* text);
// Sets the transient text the same way and shows it in place of the persistent one
// until the next SetStatusText.
void ShowProgressText(const char* text);
// A one-line message: becomes the current viewpoint's status text as it is, marks
// its status-line records (kind 11) changed and repaints the line; RestoreStatusText
// takes it away.
void ShowStatusMessage(const char* text);
// After a transient text or message: the shown text goes back into the line and is
// repainted. Nothing while no transient text stands.
void RestoreStatusText();
// The current viewpoint's status text becomes the persistent text, without a repaint
// (the viewpoint became current).
void ResetStatusTextForViewpoint();
// Composes the shown text, cut to width - 15 columns, blanks up to column width - 2
// and, when the current viewpoint has an event text, that text from column width - 14
// (13 columns at most), and stores it as the current viewpoint's status text.
void UpdateStatusLine();

const std::string& PersistentStatusText();
// True while a transient text or message stands in the line.
bool StatusLineTransient();
// Both texts empty, the persistent one shown (a new session).
void ResetStatusLine();

}  // namespace zentor
