#include "command/symbol_lookup_commands.h"

#include "command/action_table.h"
#include "symbols/search_path.h"
#include "symbols/symbol_lookup.h"

namespace zentor {

void BindSymbolLookupActions() {
  ActionTable::Bind(kSlotBeginSymbolLookup, &BeginSymbolLookup, "BeginSymbolLookup");
  ActionTable::Bind(kSlotEndSymbolLookup, &EndSymbolLookup, "EndSymbolLookup");
  ActionTable::Bind(kSlotSetStickyLookupFlag, &SetStickyLookupFlag, "SetStickyLookupFlag");
  ActionTable::Bind(kSlotClearStickyLookupFlag, &ClearStickyLookupFlag, "ClearStickyLookupFlag");
  // The module-setting command's part of the search paths does nothing.
  ActionTable::Bind(kSlotSetModuleNoOp, &SearchPathNoOp, "SetModuleNoOp");
}

}  // namespace zentor
