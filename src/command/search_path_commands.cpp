#include "command/search_path_commands.h"

#include "command/action_table.h"
#include "symbols/search_path.h"

namespace zentor {

void BindSearchPathActions() {
  ActionTable::Bind(kSlotShowSearchPath, &ShowSearchPathAction, "ShowSearchPathAction");
  ActionTable::Bind(kSlotRemoveFromSearchPath, &RemoveFromSearchPathAction, "RemoveFromSearchPathAction");
  ActionTable::Bind(kSlotAddToSearchPath, &AddToSearchPathAction, "AddToSearchPathAction");
  ActionTable::Bind(kSlotSetSearchPath, &SetSearchPathAction, "SetSearchPathAction");
  ActionTable::Bind(kSlotSearchPathNoOp, &SearchPathNoOpAction, "SearchPathNoOp");
}

}  // namespace zentor
