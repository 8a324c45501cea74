#include "console/macro_device.h"

#include "console/command_device.h"
#include "console/command_reader.h"
#include "core/dv_error.h"
#include "core/token_record.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgMacroReused = 79;
// The start position that follows each open expansion's body.
constexpr uint32_t kTrailerSize = 4;

MemoryFileHandle g_macroText = kNullMemoryFile;

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
  MemoryFile& text = Text();
  ThrowIfMemoryFileError(text.Seek(0));
  text.Truncate();
}

MemoryFileHandle MacroText() {
  CreateMacroText();
  return g_macroText;
}

void MacroOpen() {
  MemoryFile& text = Text();
  if (text.Size() > kMacroExpansionLimit) {
    SetLineConsumed(true);
    throw DVError(kMsgMacroReused, kSeveritySevere, kDisplayByFocus);
  }
  const uint32_t start = text.Size();
  ThrowIfMemoryFileError(text.Seek(start));
  const MemoryFileHandle body = CurrentToken().value;
  if (body != kNullMemoryFile) {
    MemoryFile& bodyFile = MemoryFileOf(body);
    const uint32_t bodySize = bodyFile.Size();
    ThrowIfMemoryFileError(bodyFile.Seek(0));
    ThrowIfMemoryFileError(bodyFile.CopyTo(text, 1, bodySize));
  }
  WriteU32(text, start);
  ThrowIfMemoryFileError(text.Seek(start));
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
  text.Truncate();
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
