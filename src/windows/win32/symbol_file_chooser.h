#pragma once
// The Windows program's open-file dialog for Load Program: GetOpenFileName in its
// old style, made from the template FILETEMP, with LoadSymbolsHookProc adding the
// program's Help button and F1 help.

#include <windows.h>

#include "windows/load_symbols_dialog.h"

namespace zentor {

// The dialog's hook: accepts every name, registers the dialog with the window layer
// while it is open and opens its help context.
UINT_PTR CALLBACK LoadSymbolsHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Installs the chooser over the program's instance (its FILETEMP template).
void InstallWin32SymbolFileChooser(HINSTANCE instance);

}  // namespace zentor
