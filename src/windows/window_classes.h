#pragma once
// The debugger's window classes: start-up makes the window factory build each kind's
// window object from its class (until then a kind's window is a placeholder) and
// makes the Source window's commands the frame's.

namespace zentor {

void InstallWindowClasses();

}  // namespace zentor
