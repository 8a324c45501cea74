#include "gui/viewpoint_actions.h"

#include <string>

#include "console/output_writer.h"
#include "core/dv_error.h"
#include "core/message_table.h"
#include "core/token_record.h"
#include "core/viewpoint_manager.h"

namespace zentor {
namespace {

std::string TokenText() {
  const TokenRecord& token = CurrentToken();
  return std::string(token.text, token.textLength);
}

}  // namespace

void ShowAliasAction() {
  const RWCString alias = ViewpointManager::AliasOf(ViewpointManager::CurrentIndex());
  if (!alias.isNull()) OutputWriter::Printf("%s\n", alias.data());
}

void SetAliasAction() {
  const int32_t current = ViewpointManager::CurrentIndex();
  if (current < 0) {
    OutputWriter::WriteString("No current viewpoint to set the alias to\n");
    return;
  }
  // The Alias dialog's field takes 8 characters; the command takes as many.
  std::string alias = TokenText();
  if (alias.size() > ViewpointManager::kMaxAliasLength) alias.resize(ViewpointManager::kMaxAliasLength);
  DVError status(0, 0, kDisplayByFocus);
  if (ViewpointManager::SetAlias(RWCString(alias.c_str()), current, status) != 0) status.Report();
}

void ShowCurrentViewpointAction() {
  const int32_t current = ViewpointManager::CurrentIndex();
  const RWCString name = ViewpointManager::DisplayNameOf(ViewpointManager::HandleAt(current).Value(), false);
  const RWCString alias = ViewpointManager::AliasOf(current);
  if (alias.isNull()) {
    OutputWriter::Printf("%s    NO alias\n", name.data());
  } else {
    OutputWriter::Printf("%s    Alias: [%s]\n", name.data(), alias.data());
  }
}

// The scanner has taken the bracket off the name already; a name typed with one
// more is taken without it too.
void SelectViewpointAction() {
  std::string name = TokenText();
  if (!name.empty() && name[0] == '[') name.erase(0, 1);
  const int32_t index = ViewpointManager::FindIndexByAlias(name.c_str());
  if (index < 0) throw DVError(kMsgViewpointNotValid, kSeverityError, kDisplayCommandOutput);
  ViewpointManager::SelectIfNeeded(index, false);
}

}  // namespace zentor
