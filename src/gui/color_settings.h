#pragma once
// The colour model every window draws with: the built-in table (the defaults with the
// system's colours in scheme 1), the working table the windows use, the one set the
// Colors dialog edits, the scheme (black and white, or colour) and the viewpoints'
// colour slots. The settings store keeps the built-in table as "DEFAULT", the working
// table as "CURRENT" and the user's named tables (record id 8). GUI start-up
// initialises it, windows ask it for their colours, the Colors dialog and its
// management change it.

#include <cstdint>

#include "core/viewpoint_handle.h"
#include "gui/color_table.h"

namespace zentor {

inline constexpr uint32_t kColorSchemeBlackAndWhite = 0;
inline constexpr uint32_t kColorSchemeColour = 1;
// The colour-scheme notice's word that selects colour (any other: black and white).
inline constexpr uint32_t kColourNoticeColour = 10;

class ColorSettings {
 public:
  // The working table's word of the element in the viewpoint's colour set for the
  // current scheme: the foreground for selector 1, else the background. kNoColorWord
  // for an element outside 0..15.
  static uint32_t GetColor(ViewpointHandle viewpoint, uint32_t element, uint32_t selector);
  // 0 for the values -1 and -2 (no viewpoint), else the viewpoint's colour slot.
  static uint32_t ColorSetOf(ViewpointHandle viewpoint);
  // The viewpoints' records keep their slots (the viewpoint manager's ColorSetOf);
  // tests put another lookup in its place, null draws every viewpoint with set 0.
  using ColorSetLookup = int32_t (*)(ViewpointHandle viewpoint);
  static void SetColorSetLookup(ColorSetLookup lookup);

  // With 1 (GUI start-up): the system's colours into the built-in table, "DEFAULT"
  // added when missing, "CURRENT" read into the working table (or made from the
  // defaults when it cannot be read). With 0 (the dialog's set-up) nothing of the model.
  static void Initialize(uint32_t startup);
  // The system's colours changed: read them again into the built-in table and the
  // working copies, and "DEFAULT" replaced by the built-in table.
  static void ResetDefault();
  // The colour-scheme notice: 10 selects colour, any other word black and white.
  static void OnBlackWhiteNotice(uint32_t word);
  // The dialog management's callback for the "Color" form. The entry is a
  // NamedSetList for kManageList and a NamedSetRequest (name and description) for
  // restore, save and remove. Answers the store's result (114 for a named table that
  // is no colour table, the working table unchanged); 1 for list, opened and closed.
  static int32_t ManageEntry(int32_t dialog, uint32_t operation, void* entry);

  // The colour change is marked for the current viewpoint's windows, which repaint in
  // one round of the message loop.
  static void ApplyChange();

  // The Colors dialog's copy: the set edited starts as the working table's set, takes
  // single words, and goes back into the working table at its set, which is then
  // stored as "CURRENT" (the store's result).
  static void LoadDialogSet(uint32_t set);
  static void SetDialogWord(uint32_t element, bool foreground, uint32_t word);
  static int32_t CommitDialogSet(uint32_t set);

  static uint32_t Scheme();
  static const ColorTable& BuiltInTable();
  static const ColorTable& WorkingTable();
  static const ColorSet& DialogSet();
  // Back to the start of a run: the built-in defaults everywhere, colour, no slot used.
  static void Reset();
};

// The colour slot (1..8) for a new viewpoint: the pending candidate, or else the least
// used slot (the lowest of those used least).
int32_t AllocateViewpointColorSlot();
// A viewpoint went away: its slot is used once less and is the next one handed out.
void ReleaseViewpointColorSlot(int32_t slot);

}  // namespace zentor
