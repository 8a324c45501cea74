#pragma once
// The invocation settings: how the debugger is to be started (a batch file and a
// start-up macro file, each on or off and named, and two further on/off options). One
// record for the run: start-up fills the names through engine notices and reads the
// record back the same way, the invocation dialog edits it, and the settings store
// keeps it byte for byte as the data of its records of id 9 ("CURRENT" the settings
// last applied, other names the sets the dialog management saves).

#include <cstdint>
#include <string>

#include "gui/notice_router.h"
#include "support/rw_cstring.h"

namespace zentor {

inline constexpr uint32_t kInvocationRecordId = 9;

// Requests of the invocation dialog (kind 13; the dispatcher gives them no handler).
inline constexpr int32_t kGuiInvocationSettings = 0x190;
inline constexpr int32_t kGuiInvocationChanged = 0x191;
inline constexpr int32_t kGuiUseSavedLayout = 0x193;

class InvocationSettings {
 public:
  // The stored image: five words, then the macro and the batch file name fields.
  static constexpr uint32_t kRecordSize = 532;
  static constexpr uint32_t kNameFieldSize = 256;
  // Characters of a name at most (its field keeps a NUL).
  static constexpr uint32_t kMaxNameLength = kNameFieldSize - 1;

  uint32_t m_optionA = 0;
  uint32_t m_optionB = 0;
  uint32_t m_spare = 0;  // not used by the dialog; kept with the rest
  uint32_t m_batchOn = 0;
  uint32_t m_macroOn = 0;
  std::string m_macroName;
  std::string m_batchName;

  // Writes the 532-byte image.
  void CopyTo(uint8_t* buffer) const;
  // Takes an image of exactly 532 bytes; false (nothing changed) for any other length.
  bool CopyFrom(const uint8_t* data, uint32_t length);
  // Reads the store's record (id 9) of that name into this record: 0, the store's code,
  // or 114 for a record that is no image of the settings (nothing restored).
  int32_t ReadRecord(const RWCString& name);
};

// The run's one record, zeroed at start: both files off, the names empty.
InvocationSettings& TheInvocationSettings();

class InvocationDialog {
 public:
  // An engine notice (the NotifyGui codes above) with its argument. The copying
  // notices write into a caller's buffer: 0x3f the whole image (532 bytes), 0x40 and
  // 0x47 the macro or batch name and its NUL when the name is not empty (at most 256
  // bytes). 0x41 and 0x46 take a name of at most 255 characters from a NUL-terminated
  // text (null empties it). 0x48 sends the settings; other codes do nothing, and so
  // does a copying notice without a buffer.
  static void OnEngineNotice(uint32_t code, const void* argument);
  // Request 0x190 with the record, for the dispatcher's kind 13: the GUI start-up
  // hands the settings to the engine this way once the first windows are up, and
  // notice 0x48 asks for it.
  static void SendSettings();
  // Request 0x191: the record changed.
  static void SendChanged();

  // The dialog's side (invocation_dialog.h has the dialog). The edits of the open
  // INVOC dialog into the names (the management reads them before a save); the
  // controls of a dialog showing the record.
  static void ReadTexts();
  static void FillControls(int32_t dialogId);
  // The dialog management's callback of the "Invocation" form.
  static int32_t ManageCallback(int32_t dialogId, uint32_t operation, void* argument);
  // Request 0x193 with a 16-bit answer word, sign-extended: nonzero when the saved
  // window layout is to be used. Kind-13 requests have no effect, so the word keeps
  // its first value, 1: a saved layout is used whenever one exists.
  static int32_t SendRequest193();
};

}  // namespace zentor
