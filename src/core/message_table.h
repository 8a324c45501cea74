#pragma once
// The debugger's message texts keyed by message number: the number of every DVError
// is the id of its text here. This one table is the source of the program's string
// resources; the window layer loads texts from it by number. Texts may hold "%s"
// places that the error's arguments fill, left to right.

#include <cstdint>
#include <span>

namespace zentor {

struct MessageTableRow {
  uint32_t number;
  const char* text;
};

// Every message, in ascending number order, one row per message.
std::span<const MessageTableRow> MessageTable();

// The text of a message, or null when the number has none (400 and 401, the user
// break and pager quit, have none on purpose).
const char* FindMessageText(uint32_t number);

// Message numbers that code names on purpose.
inline constexpr uint32_t kMsgInternalAnomaly = 1;
inline constexpr uint32_t kMsgInvalidInternalCase = 2;
inline constexpr uint32_t kMsgMemoryManagerError = 3;
inline constexpr uint32_t kMsgNoTextForError = 9;
// The console line editor refuses a key past the end of its line (a warning on the
// status line, with the line's room as its argument).
inline constexpr uint32_t kMsgCommandLineFull = 87;
inline constexpr uint32_t kMsgSyntaxErrorGeneric = 102;
inline constexpr uint32_t kMsgSyntaxCaretAfter = 103;
inline constexpr uint32_t kMsgSyntaxCaretBefore = 104;
inline constexpr uint32_t kMsgAllocationTooLarge = 180;
inline constexpr uint32_t kMsgDynamicMemoryFull = 181;
inline constexpr uint32_t kMsgReadPastEndOfMemoryFile = 182;
inline constexpr uint32_t kMsgSeekPastEndOfMemoryFile = 183;
inline constexpr uint32_t kMsgViewpointNotValid = 251;
inline constexpr uint32_t kMsgPagerQuit = 400;
inline constexpr uint32_t kMsgUserBreak = 401;
inline constexpr uint32_t kMsgInternalNoticeFailed = 1000;
inline constexpr uint32_t kMsgInternalNoticeUnreliable = 1001;

}  // namespace zentor
