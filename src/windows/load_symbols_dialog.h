#pragma once
// Load Program: the system's open-file dialog (the old-style one, made from the
// program's template FILETEMP with the program's Help button and F1 help) picks a
// symbol file, which is loaded by the command "loadsym" with the file's full path,
// lower-cased, exactly as if it had been typed. The dialog itself is the Windows
// program's (SymbolFileChooser); what is done with the chosen name is portable.

#include <cstdint>
#include <string>

namespace zentor {

inline constexpr uint32_t kLoadSymbolsHelpContext = 30150;
inline constexpr uint32_t kMsgFileLoadError = 121;  // "I/O error during file load <%s>."

// The open-file dialog for a symbol file.
class SymbolFileChooser {
 public:
  virtual ~SymbolFileChooser();
  // Runs the dialog over the window of `ownerId` (a layer id; kNoLayerId: the frame)
  // and answers the chosen name; false when the user cancelled or the dialog failed.
  // The base chooses nothing.
  virtual bool Choose(int32_t ownerId, std::string* name);
};

// Installs the chooser (the caller keeps it alive; null: the base). Answers the one
// installed before.
SymbolFileChooser* InstallSymbolFileChooser(SymbolFileChooser* chooser);

// The path loaded for a chosen name: the name itself when it has a directory part (a
// '\' or '/' after its first character not preceded by a blank), else the current
// directory, a '\' and the name; in lower case (the letters A-Z only).
std::string LoadSymbolsPath(const std::string& chosen, const std::string& currentDirectory);

// Runs "loadsym PATH". A failure is shown as message 121 in a message box, naming the
// path when the command itself failed with 121; a path too long for the command is
// refused with 121 naming it, and nothing runs. The command's message number (0: it
// succeeded).
int32_t LoadSymbolsCommand(const std::string& path);

// The frame's File > Load Program: the chosen file loaded over the window of
// `ownerId`. 0 when it loaded or the user cancelled, else the load's message number.
int32_t ShowLoadSymbolsDialog(int32_t ownerId);

// The frame's command opens the dialog from now on.
void InstallLoadSymbolsDialog();

}  // namespace zentor
