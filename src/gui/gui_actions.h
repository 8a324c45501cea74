#pragma once
// The command actions the GUI shell owns: "restore" (slot 79), the viewpoint commands
// (slots 137-140) and "help" (slot 183). Start-up binds them after the other
// subsystems' actions, so that every slot of the table has its routine.

namespace zentor {

void BindGuiActions();

}  // namespace zentor
