#include "console/macro_device.h"

#include <memory>
#include <vector>

#include "console/command_device.h"
#include "core/dv_error.h"
#include "core/token_record.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgMacroReused = 79;
// The start position that follows each open expansion's body.
constexpr uint32_t kTrailerSize = 4;

MemoryFileHandle g_macroText = kNullMemoryFile;

// The macros whose text an expansion comes from: its own, then those of the
// expansions its name was read in, even when they have ended since (a name at the end
// of a body ends that body's expansion before it is known to be a macro).
struct Lineage {
  MemoryFileHandle body;
  std::shared_ptr<const Lineage> outer;
};

struct ExpansionState {
  // One entry for each open expansion, innermost last.
  std::vector<std::shared_ptr<const Lineage>> open;
  // Where the token being scanned began.
  std::shared_ptr<const Lineage> tokenStart;
  // Body bytes expanded since the text was last empty.
  uint32_t expandedBytes = 0;
};

ExpansionState g_expansions;

// The failed line is dropped as after any other error: the reader stands right after
// the alias's name on the line it was read from (the expansion never opened), and what
// follows on that line must not run as a command of its own.
[[noreturn]] void RaiseMacroReused() { throw DVError(kMsgMacroReused, kSeveritySevere, kDisplayByFocus); }

MemoryFile& Text() {
  if (g_macroText == kNullMemoryFile) CreateMacroText();
  return MemoryFileOf(g_macroText);
}

void WriteU32(MemoryFile& file, uint32_t value) {
  uint8_t bytes[kTrailerSize];
  value_bytes::StoreU32(bytes, value);
  ThrowIfMemoryFileError(file.Write(1, kTrailerSize, bytes));
}

}  // namespace

void CreateMacroText() {
  if (g_macroText == kNullMemoryFile) ThrowIfMemoryFileError(CreateMemoryFile(-1, 1, &g_macroText));
}

void ClearMacroText() {
  if (MacroExpansionDevice().openInstances != 0) return;
  Text().Clear();
  g_expansions = ExpansionState{};
}

void NoteTokenStart() {
  const bool reading = MacroExpansionDevice().openInstances != 0 && !g_expansions.open.empty();
  g_expansions.tokenStart = reading ? g_expansions.open.back() : nullptr;
}

MemoryFileHandle MacroText() {
  CreateMacroText();
  return g_macroText;
}

// 1. A name read in its own text, or in the text of an alias it led to, would expand
//    for ever: 79. So would open expansions beyond kMacroExpansionLimit bytes, or
//    more than kMacroExpandedBytesLimit bytes expanded for one command.
// 2. The body goes on top of the text, followed by its start position.
void MacroOpen() {
  MemoryFile& text = Text();
  const MemoryFileHandle body = CurrentToken().value;
  for (const Lineage* outer = g_expansions.tokenStart.get(); outer != nullptr; outer = outer->outer.get()) {
    if (body != kNullMemoryFile && outer->body == body) RaiseMacroReused();
  }
  const uint32_t bodySize = body != kNullMemoryFile ? MemoryFileOf(body).Size() : 0;
  if (text.Size() > kMacroExpansionLimit || bodySize > kMacroExpandedBytesLimit - g_expansions.expandedBytes) {
    RaiseMacroReused();
  }
  const uint32_t start = text.Size();
  ThrowIfMemoryFileError(text.Seek(start));
  if (body != kNullMemoryFile) {
    MemoryFile& bodyFile = MemoryFileOf(body);
    ThrowIfMemoryFileError(bodyFile.Seek(0));
    ThrowIfMemoryFileError(bodyFile.CopyTo(text, 1, bodySize));
  }
  WriteU32(text, start);
  ThrowIfMemoryFileError(text.Seek(start));
  g_expansions.expandedBytes += bodySize;
  g_expansions.open.push_back(std::make_shared<const Lineage>(Lineage{body, g_expansions.tokenStart}));
}

bool MacroRead(uint8_t* ch) {
  MemoryFile& text = Text();
  if (text.Size() < kTrailerSize || text.Position() >= text.Size() - kTrailerSize) return false;
  ThrowIfMemoryFileError(text.Read(1, 1, ch));
  return true;
}

void MacroClose() {
  MemoryFile& text = Text();
  if (text.Size() < kTrailerSize) return;
  uint8_t trailer[kTrailerSize];
  ThrowIfMemoryFileError(text.Seek(text.Size() - kTrailerSize));
  ThrowIfMemoryFileError(text.Read(1, kTrailerSize, trailer));
  const uint32_t start = value_bytes::LoadU32(trailer);
  ThrowIfMemoryFileError(text.Seek(start <= text.Size() ? start : 0));
  text.TruncateKeepingFirstPage();
  if (!g_expansions.open.empty()) g_expansions.open.pop_back();
}

void MacroSuspend() {
  const uint32_t position = Text().Position();
  uint8_t bytes[4];
  value_bytes::StoreU32(bytes, position);
  SaveOnDeviceStack(sizeof bytes, bytes);
}

void MacroResume() {
  uint8_t bytes[4] = {};
  const uint16_t length = RestoreFromDeviceStack(bytes, sizeof bytes);
  if (length != sizeof bytes) ZENTOR_INTERNAL_ERROR();
  const uint32_t position = value_bytes::LoadU32(bytes);
  MemoryFile& text = Text();
  ThrowIfMemoryFileError(text.Seek(position <= text.Size() ? position : text.Size()));
}

}  // namespace zentor
