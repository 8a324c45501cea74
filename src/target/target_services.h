#pragma once
// Installs the target interface behind the services the layers below call: the
// address, viewpoint and session operations of the core (core/target_interface.h) and
// the symbol-load services of the loaders (symbols/symbol_load_target.h). Start-up
// calls it first; tests of the layers below call it in their set-up.

namespace zentor {

void InstallTargetServices();

}  // namespace zentor
