#include "gui/about_box.h"

#include <cstdio>

#include "core/target_calls.h"
#include "core/target_status.h"
#include "gui/dialog_body.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"

namespace zentor {
namespace {

// The version line's buffer: "Version " leaves 119 characters and the NUL.
constexpr uint32_t kVersionLineSize = 128;

class AboutDialogBody final : public DialogBody {
 public:
  AboutDialogBody() : DialogBody(DialogTemplate{"ABOUT", 0}) {}

 protected:
  void OnInitialise() override { FillProductTexts(DialogId()); }
};

// Centred over the frame, at the size the template gives; it closes itself.
class IntroDialogBody final : public DialogBody {
 public:
  IntroDialogBody()
      : DialogBody(DialogTemplate{"INTRO", 0, false, kDialogOkControl, kDialogCancelControl, kIntroMilliseconds}) {}

 protected:
  void OnInitialise() override {
    GuiWindowLayer& layer = Layer();
    LayerRect frame;
    LayerRect box;
    if (layer.GetWindowBounds(FrameWindow::FrameId(), &frame) != 0 && layer.GetWindowBounds(DialogId(), &box) != 0) {
      box.top = frame.top + frame.bottom / 2 - box.bottom / 2;
      box.left = frame.left + frame.right / 2 - box.right / 2;
      layer.SetWindowBounds(DialogId(), box);
    }
    FillProductTexts(DialogId());
  }
};

}  // namespace

void FormatVersionLine(const char* version, char* buffer, uint32_t size) {
  if (size == 0) return;
  std::snprintf(buffer, size, "Version %.119s", version != nullptr ? version : "");
}

void FillProductTexts(int32_t dialogId) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  const TargetVersionBlock* block = GetTargetDescription();
  if (layer == nullptr || block == nullptr) return;
  char version[kVersionLineSize];
  FormatVersionLine(block->m_version, version, sizeof version);
  const char* const texts[kAboutTextCount] = {block->m_maker, block->m_productName, version, block->m_notice,
                                              block->m_emptyLine};
  for (int32_t i = 0; i < kAboutTextCount; ++i) {
    if (texts[i] != nullptr) layer->SetItemText(dialogId, kAboutFirstText + i, texts[i]);
  }
}

void ShowAboutDialog() {
  static AboutDialogBody body;
  RunModalDialog(body, kNoLayerId);
}

void ShowIntroDialog() {
  static IntroDialogBody body;
  RunModalDialog(body, kNoLayerId);
}

}  // namespace zentor
