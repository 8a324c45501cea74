#include "symbols/symbol_listings.h"

#include <algorithm>
#include <cstdio>

#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_lookup.h"

#include "console/output_writer.h"
#include "core/dv_error.h"
#include "core/frame_list.h"

namespace zentor {
namespace {

// Columns of the listings reach at most the width the output writer keeps.
uint8_t ColumnOf(int64_t column) { return static_cast<uint8_t>(std::clamp<int64_t>(column, 0, 255)); }

void EndLineWithText() {
  if (OutputWriter::OutputColumn() != 0) OutputWriter::FreshLine();
}

}  // namespace

// The module listing: after a name the column moves on by the width; a column past
// the line's last full column ends the line, any other is padded to.
void ListModules(DVErrorCode& status, uint16_t lineWidth) {
  status.SetOkay();
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (loader == nullptr || loader->ProgramLoaded() == 0) {
    status.Set(kMsgNoProgramLoaded, kSeverityError);
    return;
  }
  const ModuleCollection& modules = loader->Modules();
  if (modules.Count() == 0) {
    status.Set(kMsgProgramSymbolsNotLoaded, kSeverityError);
    return;
  }
  if (const ModuleDescriptor* target = CurrentEntry().Target()) {
    OutputWriter::WriteString(target->NameText().data());
    OutputWriter::FreshLine();
    return;
  }
  const int64_t width = static_cast<int64_t>(modules.LongestNameLength()) + 2;
  int64_t column = 0;
  RWCString previous;
  bool first = true;
  for (uint32_t i = 0; i < modules.Count(); ++i) {
    const auto* module = dynamic_cast<const ModuleDescriptor*>(modules.ModuleAt(i));
    if (module == nullptr) continue;
    if (!first && module->NameText() == previous) continue;
    first = false;
    previous = module->NameText();
    OutputWriter::WriteString(previous.data());
    column += width;
    if (column > static_cast<int64_t>(lineWidth) - width) {
      OutputWriter::FreshLine();
      column = 0;
    } else {
      OutputWriter::PadToColumn(ColumnOf(column));
    }
  }
  EndLineWithText();
}

void ListModuleLines(uint16_t lineWidth) {
  ModuleDescriptor* module = RequireLookupModule();
  LineTable& lines = module->Lines();
  if (lines.Count() <= lines.SentinelCount()) {
    DVError error(kMsgLinesNotLoaded, kSeverityError, kDisplayByFocus);
    error.SetArg(0, module->NameText());
    throw error;
  }
  constexpr int64_t kColumnWidth = 8;
  int64_t column = 0;
  for (uint32_t i = 0; i < lines.Count(); ++i) {
    const LineAddressEntry& entry = lines.EntryAt(i);
    if (!entry.HasLine()) continue;
    char text[16];
    std::snprintf(text, sizeof text, "#%u", static_cast<unsigned>(entry.Source().Line()));
    OutputWriter::WriteString(text);
    column += kColumnWidth;
    if (column > static_cast<int64_t>(lineWidth) - kColumnWidth) {
      OutputWriter::FreshLine();
      column = 0;
    } else {
      OutputWriter::TabToColumn(ColumnOf(column));
    }
  }
  EndLineWithText();
}

void SelectFrame(uint32_t argument) {
  FrameList* frames = CurrentFrameListOrNull();
  if (frames == nullptr || frames->IsUsable() != 0) return;
  if (frames->WalkStack(argument) == 0) ReselectCurrentFrame();
}

uint16_t CurrentFrameIndex(AddressPair& frame) {
  const FrameList* frames = CurrentFrameListOrNull();
  return static_cast<uint16_t>(frames != nullptr ? frames->GetCurrent(&frame) : FrameList::kNoFrame);
}

bool SetCurrentFrame(uint16_t index) {
  FrameList* frames = CurrentFrameListOrNull();
  return frames != nullptr && frames->SetCurrent(index) == 0;
}

bool HasCurrentFrame(AddressPair& frame) {
  const FrameList* frames = CurrentFrameListOrNull();
  return frames != nullptr && frames->GetCurrent(&frame) != FrameList::kNoFrame;
}

}  // namespace zentor
