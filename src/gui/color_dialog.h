#pragma once
// The Colors dialog (COLOR): a screen element chosen in a combo box gets its colour
// from the system's colour chooser, a sample window drawn in the dialog shows the set
// being edited, and OK puts the set into the working table at the current viewpoint's
// colour set and stores the table as "CURRENT", so the windows repaint in it now and
// after a restart. Named tables are kept through the dialog management ("Color").
// The chooser is a port: the Win32 one runs the common dialog with its hook, tests
// install their own.

#include <cstdint>

#include "gui/dialog_body.h"
#include "gui/layer_types.h"

namespace zentor {

enum ColorDialogControl : int32_t {
  kColorSetColorsButton = 1802,
  kColorManageButton = 1803,
  kColorElementCombo = 1804,
  kColorSampleScrollBar = 2000,
};

inline constexpr uint32_t kCommandColors = 1440;
inline constexpr uint32_t kColorDialogHelpContext = 30230;
inline constexpr uint32_t kColorChooserHelpContext = 30240;
inline constexpr uint32_t kColorChoiceCount = 12;

// A row of the element combo box: its text, the element and which word it sets.
struct ColorChoice {
  const char* text;
  uint32_t element;
  bool foreground;
};
const ColorChoice& ColorChoiceAt(uint32_t row);

class ColorChooser {
 public:
  virtual ~ColorChooser();
  // Runs the chooser owned by the dialog with the colour (0xRRGGBB) preselected: true
  // with the chosen colour in *color when the user confirmed. The base chooses nothing.
  virtual bool Choose(int32_t ownerId, uint32_t* color);
};
// Installs the chooser (the caller keeps it alive); null puts the base back. Answers
// the one installed before.
ColorChooser* InstallColorChooser(ColorChooser* chooser);

class ColorDialog final : public DialogBody {
 public:
  ColorDialog();
  // Where the sample is drawn in the dialog's client area, once it is open.
  const LayerRect& SampleArea() const { return m_sample; }

 protected:
  void OnInitialise() override;
  void OnOk() override;
  void OnCancel() override;
  void OnControl(int32_t control, int32_t notification) override;
  bool OnPaint() override;

 private:
  void LayOutSample();
  void DrawSample();
  void ChooseColor();
  void CloseDialog(int32_t result);
  static int32_t ManageEntry(int32_t dialogId, uint32_t operation, void* argument);

  LayerRect m_sample;
  int32_t m_lineHeight = 13;
  int32_t m_scrollBar = kNoLayerId;
  uint32_t m_set = 0;
};

// Runs the Colors dialog over the window (kNoLayerId: the frame); the frame's command
// 1440.
void ShowColorDialog(int32_t parentId);
// The frame's "&Colors..." opens the dialog from now on.
void InstallColorDialog();

}  // namespace zentor
