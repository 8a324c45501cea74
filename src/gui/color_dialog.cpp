#include "gui/color_dialog.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/installed_service.h"
#include "core/window_layer.h"
#include "gui/color_settings.h"
#include "gui/gui_window_layer.h"
#include "gui/management_dialog.h"

namespace zentor {
namespace {

InstalledService<ColorChooser> g_chooser;
// The open dialog, whose set a restore from its management replaces.
ColorDialog* g_openDialog = nullptr;

constexpr ColorChoice kChoices[kColorChoiceCount] = {
    {"Breakpoint Highlight Background", 9, false}, {"Breakpoint Highlight Foreground", 9, true},
    {"Execution Bar Background", 13, false},        {"Execution Bar Foreground", 13, true},
    {"Line Select Background", 15, false},          {"Line Select Foreground", 15, true},
    {"Status Background", 8, false},                {"Status Foreground", 8, true},
    {"Symbol Bar Background", 12, false},           {"Symbol Bar Foreground", 12, true},
    {"Window Background", 4, false},                {"Window Foreground", 4, true},
};

constexpr const char* kStoreFailure = "The color settings could not be stored.";
constexpr int32_t kSampleTopUnits = 10;
// The sample ends above the element label (the combo box's row).
constexpr int32_t kSampleBottomUnits = 112;
constexpr int32_t kDialogHeightUnits = 172;  // the template's height
// The title, nine program lines and the status line.
constexpr int32_t kSampleRows = 11;

// Elements of the sample.
enum SampleElement : uint32_t {
  kTitle = 1, kActive = 2, kBorder = 3, kClient = 4, kDialogBox = 5, kButtons = 6, kScrollbar = 7,
  kStatus = 8, kHilight = 9, kSelect = 10, kStretch = 11, kSymbol = 12, kExecution = 13, kBreakColumn = 14,
  kNoColor = 15,
};

uint32_t Word(uint32_t element, bool foreground) {
  return ColorSettings::DialogSet()[element][ColorWordIndex(ColorSettings::Scheme(), foreground)];
}

void Fill(GuiWindowLayer& layer, int32_t id, const LayerRect& area, uint32_t element, bool foreground = false) {
  layer.SetFillStyle(id, LayerFill{kFillSolid, Word(element, foreground)});
  layer.SetLineStyle(id, LayerLine{0, 0, 0});
  layer.DrawRectangle(id, area);
}

// The text's row ends at `bottom`.
void Text(GuiWindowLayer& layer, int32_t id, int32_t x, int32_t bottom, const char* text, uint32_t element) {
  layer.SetTextColor(id, Word(element, true));
  layer.SetBackgroundColor(id, Word(element, false));
  layer.DrawTextAt(id, x, bottom, text, static_cast<int32_t>(std::strlen(text)));
}

}  // namespace

const ColorChoice& ColorChoiceAt(uint32_t row) { return kChoices[row < kColorChoiceCount ? row : 0]; }

ColorChooser::~ColorChooser() = default;
bool ColorChooser::Choose(int32_t, uint32_t*) { return false; }

ColorChooser* InstallColorChooser(ColorChooser* chooser) { return g_chooser.Install(chooser); }

ColorDialog::ColorDialog() : DialogBody(DialogTemplate{"COLOR", kColorDialogHelpContext}) {}

void ColorDialog::OnInitialise() {
  GuiWindowLayer& layer = Layer();
  const int32_t id = DialogId();
  layer.ComboClear(id, kColorElementCombo);
  for (const ColorChoice& choice : kChoices) layer.ComboAddString(id, kColorElementCombo, choice.text);
  layer.ComboSelect(id, kColorElementCombo, 0, 1);
  m_set = ColorSettings::ColorSetOf(ViewpointHandle(GetCurrentViewpointValue()));
  ColorSettings::LoadDialogSet(m_set);
  LayOutSample();
  g_openDialog = this;
}

// Margins of a twentieth of the client's width on both sides; from 10 dialog units
// down to the element label, in the dialog's own units (a share of its client height,
// since its font is not the system's); the sample's eleven rows fit in between. Its
// scroll bar stands inside its right edge.
void ColorDialog::LayOutSample() {
  GuiWindowLayer& layer = Layer();
  const int32_t id = DialogId();
  LayerRect client;
  if (layer.GetClientArea(id, &client) == nullptr) return;
  const int32_t width = client.right - client.left;
  const int32_t height = client.bottom - client.top;
  const int32_t margin = width / 20;
  m_sample = LayerRect{client.top + height * kSampleTopUnits / kDialogHeightUnits, client.left + margin,
                       client.top + height * kSampleBottomUnits / kDialogHeightUnits, client.right - margin};
  int32_t leading = 0;
  int32_t ascent = 0;
  int32_t descent = 0;
  if (layer.GetFontMetrics(id, &leading, &ascent, &descent) != 0 && ascent + descent > 0) {
    m_lineHeight = ascent + descent + leading;
  }
  m_lineHeight = std::max(1, std::min(m_lineHeight, (m_sample.bottom - m_sample.top) / kSampleRows));
  const int32_t barWidth = std::max(8, width / 30);
  const LayerRect bar{m_sample.top + m_lineHeight, m_sample.right - barWidth - 2,
                      m_sample.bottom - m_sample.top - 2 * m_lineHeight, barWidth};
  m_scrollBar = layer.CreateControl(bar, "", kLayerVerticalScrollBar, id, 1, kColorSampleScrollBar);
}

// A small window in the edited set's colours: its frame, title bar, client area with
// the break column, the sample program's lines in the colours they show, a dialog box
// with a button, the scroll strip and the status line; the status line and the title
// again on top.
void ColorDialog::DrawSample() {
  struct Segment {
    const char* text;
    uint32_t element;
  };
  struct SampleLine {
    Segment segments[3];
  };
  static constexpr SampleLine kLines[] = {
      {{{"   /*Sample program segment*/      ", kClient}}},
      {{{"while (ptr != NULL) {", kClient}}},
      {{{"if (cur != (st*2))", kHilight}}},
      {{{"return( ", kClient}, {"symbol", kSymbol}}},
      {{{"return(symbol ", kClient}}},
      {{{"st = ", kClient}, {"eval.left", kStretch}}},
      {{{"cur = ", kNoColor}, {"hilite", kSelect}, {" + text;", kNoColor}}},
      {{{"Execution Bar", kExecution}}},
      {{{"  /* End sample */", kClient}}},
  };
  constexpr int32_t kBreakpointLine = 2;
  GuiWindowLayer& layer = Layer();
  const int32_t id = DialogId();
  const LayerRect& s = m_sample;
  const int32_t row = m_lineHeight;
  const int32_t cell = row / 2 + 1;
  Fill(layer, id, s, kBorder);
  const LayerRect titleBar{s.top + 1, s.left + 1, s.top + row, s.right - 1};
  Fill(layer, id, titleBar, kActive);
  const LayerRect client{titleBar.bottom, s.left + 2, s.bottom - row, s.right - 2};
  Fill(layer, id, client, kClient);
  const LayerRect breakColumn{client.top, client.left, client.bottom, client.left + cell};
  Fill(layer, id, breakColumn, kBreakColumn);
  const LayerRect strip{client.top, client.right - cell - 2, client.bottom, client.right};
  Fill(layer, id, strip, kScrollbar);

  int32_t y = client.top + 1;
  for (int32_t index = 0; index < static_cast<int32_t>(std::size(kLines)); ++index, y += row) {
    if (index == kBreakpointLine) Text(layer, id, breakColumn.left + 1, y + row - 1, "B", kBreakColumn);
    int32_t x = breakColumn.right + 2;
    for (const Segment& segment : kLines[index].segments) {
      if (segment.text == nullptr) break;
      Text(layer, id, x, y + row - 1, segment.text, segment.element);
      x += layer.GetTextWidth(id, segment.text, -1);
    }
  }

  const int32_t boxWidth = (client.right - client.left) / 4;
  const LayerRect box{client.bottom - 3 * row, strip.left - boxWidth - 4, client.bottom - 4, strip.left - 4};
  Fill(layer, id, box, kDialogBox);
  const LayerRect button{box.top + row / 2, box.left + boxWidth / 4, box.top + row / 2 + row + 2,
                         box.right - boxWidth / 4};
  Fill(layer, id, button, kButtons);
  Text(layer, id, button.left + 4, button.bottom - 1, "OK", kButtons);

  const LayerRect status{s.bottom - row, s.left + 1, s.bottom - 1, s.right - 1};
  Fill(layer, id, status, kStatus);
  Text(layer, id, status.left + 2, status.bottom - 1, "Status Line", kStatus);
  Text(layer, id, titleBar.left + 2, titleBar.bottom - 1, "Window", kTitle);
  if (m_scrollBar != kNoLayerId) {
    layer.SetScrollRange(m_scrollBar, kScrollBarVertical, 0, 2);
    layer.SetScrollPos(m_scrollBar, kScrollBarVertical, 1);
  }
}

bool ColorDialog::OnPaint() {
  GuiWindowLayer& layer = Layer();
  if (layer.BeginPaint(DialogId(), nullptr) == 0) return false;
  DrawSample();
  layer.EndPaint(DialogId());
  return true;
}

// The chooser starts at the chosen word's colour (its class byte dropped); the colour
// confirmed replaces the word in the current scheme, with no class byte.
void ColorDialog::ChooseColor() {
  GuiWindowLayer& layer = Layer();
  int32_t row = layer.ComboGetSelection(DialogId(), kColorElementCombo);
  if (row < 0 || row >= static_cast<int32_t>(kColorChoiceCount)) row = 0;
  const ColorChoice& choice = kChoices[row];
  uint32_t color = Word(choice.element, choice.foreground) & 0xFFFFFFu;
  if (!g_chooser.Get().Choose(DialogId(), &color)) return;
  ColorSettings::SetDialogWord(choice.element, choice.foreground, color & 0xFFFFFFu);
  layer.Invalidate(DialogId(), &m_sample);
}

void ColorDialog::OnControl(int32_t control, int32_t) {
  switch (control) {
    case kColorSetColorsButton:
      ChooseColor();
      return;
    case kColorManageButton:
      RunManagementDialog(DialogId(), kColorManageButton, &ColorDialog::ManageEntry);
      return;
    default:
      return;
  }
}

// A restored table shows in the sample at once and is what OK keeps: the dialog's set
// is taken again from the table the management loaded into the working table.
int32_t ColorDialog::ManageEntry(int32_t dialogId, uint32_t operation, void* argument) {
  const int32_t result = ColorSettings::ManageEntry(dialogId, operation, argument);
  if (operation == kManageRestore && result == 0) {
    if (g_openDialog != nullptr && g_openDialog->IsOpen()) {
      ColorSettings::LoadDialogSet(g_openDialog->m_set);
      g_openDialog->Layer().Invalidate(g_openDialog->DialogId(), nullptr);
    }
  }
  return result;
}

// 1. The edited set into the working table; "CURRENT" replaced by the table (a failed
//    write is said: the colours are in use but would not outlive the run).
// 2. The dialog goes; every child window repaints in the new colours.
void ColorDialog::OnOk() {
  GuiWindowLayer& layer = Layer();
  const int32_t stored = ColorSettings::CommitDialogSet(m_set);
  if (stored != 0) layer.ShowMessageBox(DialogId(), kMessageBoxWarning, kStoreFailure);
  CloseDialog(kDialogResultOk);
  layer.InvalidateChildWindows();
  ColorSettings::ApplyChange();
}

void ColorDialog::OnCancel() { CloseDialog(kDialogResultCancel); }

void ColorDialog::CloseDialog(int32_t result) {
  GuiWindowLayer& layer = Layer();
  if (m_scrollBar != kNoLayerId) {
    layer.CloseWindow(m_scrollBar);
    layer.Destroy(m_scrollBar);
    m_scrollBar = kNoLayerId;
  }
  g_openDialog = nullptr;
  Close(result);
  layer.ReactivateAfterClose(kNoLayerId);
}

void ShowColorDialog(int32_t parentId) {
  static ColorDialog dialog;
  RunModalDialog(dialog, parentId);
}

namespace {
void ShowColorDialogCommand(int32_t, uint32_t) { ShowColorDialog(kNoLayerId); }
}  // namespace

void InstallColorDialog() {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return;
  layer->RemoveMenuHandler(kCommandColors);
  layer->AddMenuHandler(kCommandColors, &ShowColorDialogCommand);
}

}  // namespace zentor
