#pragma once
// The command language's interpreter as the symbol tables reach it (symbols/
// interpreter_services.h): expression texts evaluated to locations through grammar
// objects, the value fetch and assignment of the generated code, and the typed value
// output. Installed at start-up.

namespace zentor {

void InstallCommandSymbolInterpreter();

}  // namespace zentor
