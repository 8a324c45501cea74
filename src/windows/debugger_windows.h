#pragma once
// The debugger's windows take their kinds' places in the window factory, and the
// memory form its place among the loaders of "restore NAME" (which the console program
// runs too). Start-up calls this once, in either mode.

namespace zentor {

void InstallDebuggerWindows();

}  // namespace zentor
