#include "gui/gui_actions.h"

#include "command/action_table.h"
#include "gui/context_help.h"
#include "gui/named_forms.h"
#include "gui/viewpoint_actions.h"

namespace zentor {

void BindGuiActions() {
  ActionTable::Bind(79, &RestoreNamedForms, "RestoreNamedForms");
  ActionTable::Bind(137, &ShowAliasAction, "ShowAliasAction");
  ActionTable::Bind(138, &SetAliasAction, "SetAliasAction");
  ActionTable::Bind(139, &ShowCurrentViewpointAction, "ShowCurrentViewpointAction");
  ActionTable::Bind(140, &SelectViewpointAction, "SelectViewpointAction");
  ActionTable::Bind(183, &ShowCommandWindowHelp, "ShowCommandWindowHelp");
}

}  // namespace zentor
