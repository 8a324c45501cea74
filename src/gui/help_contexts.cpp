// The help file's context numbers of every menu command, button, window kind,
// popup-menu item and non-client part, as data. The help file maps each number to a
// topic; 0 means there is none and never reaches the help engine.
#include <cstddef>

#include "gui/context_help.h"

namespace zentor {
namespace {

struct IdContext {
  int32_t id;
  uint32_t context;
};

constexpr IdContext kMenuContexts[] = {
    {1010, 31200}, {1020, 30150}, {1025, 30150}, {1030, 30160}, {1050, 31210}, {1060, 31220}, {1070, 31000},
    {1080, 31010}, {1090, 31030}, {1100, 30120}, {1110, 31050}, {1120, 31060}, {1130, 31070}, {1140, 31020},
    {1175, 31095}, {1195, 30170}, {1197, 31231}, {1198, 31232}, {1199, 31233}, {1200, 31240}, {1210, 30010},
    {1220, 30190}, {1230, 31260}, {1240, 30020}, {1250, 31280}, {1260, 31290}, {1270, 30030}, {1300, 30040},
    {1310, 30050}, {1320, 31330}, {1361, 30060}, {1362, 30070}, {1370, 31360}, {1380, 30210}, {1381, 30200},
    {1382, 30130}, {1383, 30140}, {1430, 31420}, {1440, 30230}, {1480, 31450}, {1491, 30250}, {1500, 31460},
    {1640, 31490}, {1650, 31500}, {1655, 30276}, {1660, 31510}, {1670, 31530}, {1680, 30275}, {3198, 30320},
    {3199, 31470},
};
// The Window menu's entries share one topic.
constexpr int32_t kFirstWindowEntry = 3200;
constexpr int32_t kLastWindowEntry = 3209;
constexpr uint32_t kWindowEntryContext = 31480;

constexpr IdContext kButtonContexts[] = {
    {101, 31010}, {102, 31900}, {103, 30030}, {104, 30040}, {105, 30050},
    {106, 30020}, {107, 30060}, {108, 30070}, {109, 30010},
};

constexpr IdContext kFocusedWindowContexts[] = {
    {0, 31100},  {1, 31000},  {3, 31030},  {4, 31010},  {5, 31040},
    {11, 31070}, {15, 31050}, {16, 31060}, {19, 31020}, {20, 31095},
};

// Popup-menu items by the focused window's kind, item 0 first.
constexpr uint32_t kSourceItems[] = {31680, 31700, 30290, 30080, 31290, 31710,
                                     31730, 31720, 31740, 31750, 30300, 31760};
constexpr uint32_t kWatchItems[] = {30130, 30140, 30090, 30100};
constexpr uint32_t kMemoryItems[] = {30120, 30280};
constexpr uint32_t kInspectItems[] = {31640, 30090};
constexpr uint32_t kModulesItems[] = {30080};
constexpr uint32_t kCallstackItems[] = {31610, 31620};
struct PopupItems {
  int32_t kind;
  const uint32_t* contexts;
  std::size_t count;
};
template <std::size_t N>
constexpr PopupItems Items(int32_t kind, const uint32_t (&contexts)[N]) {
  return PopupItems{kind, contexts, N};
}
constexpr PopupItems kPopupItems[] = {
    Items(1, kSourceItems),   Items(3, kWatchItems),   Items(5, kMemoryItems),
    Items(11, kInspectItems), Items(16, kModulesItems), Items(19, kCallstackItems),
};

// Hit-test codes of the non-client parts (HTCAPTION, HTSYSMENU, HTMINBUTTON,
// HTMAXBUTTON, the eight sizing borders HTLEFT..HTBOTTOMRIGHT).
constexpr IdContext kNonClientContexts[] = {
    {2, 32030},  {3, 32020},  {8, 32010},  {9, 32000},  {10, 32040}, {11, 32040},
    {12, 32040}, {13, 32040}, {14, 32040}, {15, 32040}, {16, 32040}, {17, 32040},
};

template <std::size_t N>
uint32_t Lookup(const IdContext (&table)[N], int32_t id) {
  for (const IdContext& row : table) {
    if (row.id == id) return row.context;
  }
  return 0;
}

}  // namespace

uint32_t MenuHelpContext(int32_t command) {
  if (command >= kFirstWindowEntry && command <= kLastWindowEntry) return kWindowEntryContext;
  return Lookup(kMenuContexts, command);
}

uint32_t ButtonHelpContext(int32_t button) { return Lookup(kButtonContexts, button); }

uint32_t CommandHelpContext(int32_t command) {
  const uint32_t context = MenuHelpContext(command);
  return context != 0 ? context : ButtonHelpContext(command);
}

uint32_t FocusedWindowHelpContext(int32_t kind) { return Lookup(kFocusedWindowContexts, kind); }

uint32_t PopupItemHelpContext(int32_t kind, int32_t item) {
  for (const PopupItems& row : kPopupItems) {
    if (row.kind != kind) continue;
    return item >= 0 && static_cast<std::size_t>(item) < row.count ? row.contexts[item] : 0;
  }
  return 0;
}

uint32_t NonClientHelpContext(int32_t hitTest) { return Lookup(kNonClientContexts, hitTest); }

}  // namespace zentor
