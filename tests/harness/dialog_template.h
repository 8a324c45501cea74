#pragma once
// The dialog templates of the program's resource scripts, read the way the resource
// compiler reads their DIALOG statements: the dialog's box, caption and styles and
// each control's id, kind, text, box and style names. The native dialog driver makes
// its recording windows from them, so a dialog body runs against the controls its
// real template has.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zentor::testing_support {

struct DialogControlTemplate {
  int32_t id = 0;
  uint32_t layerType = 0;  // the window layer's control type (6..15)
  std::string statement;   // LTEXT, PUSHBUTTON, CONTROL, ...
  std::string text;
  std::string className;   // CONTROL statements only, in lower case
  std::vector<std::string> styles;  // the style names written, in order
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool HasStyle(std::string_view name) const;
};

struct DialogResourceTemplate {
  std::string name;
  int32_t x = 0, y = 0, width = 0, height = 0;
  std::string caption;
  std::vector<std::string> styles;
  std::string fontName;
  int32_t fontSize = 0;
  std::vector<DialogControlTemplate> controls;
  // The first control of the id; null when none.
  const DialogControlTemplate* Control(int32_t id) const;
  bool HasStyle(std::string_view name) const;
};

// Every DIALOG and DIALOGEX statement of a resource script's text, in order; other
// resources and preprocessor lines are passed over. False, with the line and what
// was wrong in `error`, for a statement it cannot read.
bool ParseDialogTemplates(std::string_view text, std::vector<DialogResourceTemplate>* templates,
                          std::string* error);

// The templates of every resource script (*.rc) under the program's source folder,
// read once; a script that does not read fails the calling test.
const std::vector<DialogResourceTemplate>& ProjectDialogTemplates();

}  // namespace zentor::testing_support
