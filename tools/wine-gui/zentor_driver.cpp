// zentor-driver: drives a Windows program under test from inside the same Wine
// desktop, one action per run: waits for windows, lists children and menus, clicks
// and double clicks, posts commands, answers message boxes, sets and reads texts,
// reads the text a window shows on the screen in the panes' fixed font, types by
// SendInput and captures a window to a BMP file (from the screen, so dialogs
// and menus show as a person sees them). `help-standin LOG` instead runs a hidden
// help-engine window of class "MS_WINHELP" that logs each request it receives, one
// line per request.
// Windows are named by their title ("Title*" matches a title's beginning) or by
// "#class", and controls by their control id. Exit status 0 on success, 1 on failure (with a line
// on stderr), 2 for a usage error, 3 for a menu bar that reads as empty from this
// process (as under Wine, whatever the bar holds).
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "screen_grab.h"
#include "screen_text.h"

namespace {

using zentor::wine_gui::GrabScreen;
using zentor::wine_gui::ReadScreenText;
using zentor::wine_gui::ScreenGrab;
using zentor::wine_gui::ScreenLine;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

// How long a window the action names may take to show, and the default of the waits
// that name none: a bound against a hang only, far above what a loaded machine takes.
constexpr DWORD kHangLimitMs = 60000;

std::string TitleOf(HWND window) {
  wchar_t buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return Utf8(buffer);
}

std::string ClassOf(HWND window) {
  char buffer[256] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return buffer;
}

bool TitleMatches(const std::string& title, const std::string& pattern) {
  if (!pattern.empty() && pattern.back() == '*') return title.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
  return title == pattern;
}

HWND FindProcessWindow(DWORD process, const std::string& pattern);

// A visible top-level window by title (a trailing '*' matches a beginning) or "#class".
HWND FindTopLevel(const std::string& pattern) { return FindProcessWindow(0, pattern); }

HWND WaitTopLevel(const std::string& pattern, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = FindTopLevel(pattern)) return window;
    if (GetTickCount() - start > milliseconds) return nullptr;
    Sleep(10);
  }
}

struct ChildSearch {
  int id;
  HWND found = nullptr;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<ChildSearch*>(parameter);
  if (GetDlgCtrlID(window) == search->id) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindChild(HWND top, int id) {
  ChildSearch search{id};
  EnumChildWindows(top, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "zentor-driver: %s\n", text.c_str());
  return 1;
}

HWND Top(const std::string& pattern) { return WaitTopLevel(pattern, kHangLimitMs); }

// Whether the window's thread answers a message sent now within the limit: then it has
// handled what was sent to it before.
bool Answers(HWND window, DWORD limit) {
  DWORD_PTR answer = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, limit, &answer) != 0;
}

// The window named by a title and, when given, a control id within it.
HWND Target(const std::vector<std::string>& args, size_t at, bool* isChild) {
  HWND top = Top(args.at(at));
  if (top == nullptr) return nullptr;
  *isChild = args.size() > at + 1 && !args[at + 1].empty() && std::isdigit(static_cast<unsigned char>(args[at + 1][0]));
  return *isChild ? FindChild(top, std::atoi(args[at + 1].c_str())) : top;
}

BOOL CALLBACK PrintChild(HWND window, LPARAM) {
  RECT r{};
  GetWindowRect(window, &r);
  std::printf("%d %s \"%s\" %ld,%ld %ldx%ld%s\n", GetDlgCtrlID(window), ClassOf(window).c_str(), TitleOf(window).c_str(),
              r.left, r.top, r.right - r.left, r.bottom - r.top, IsWindowVisible(window) ? "" : " hidden");
  return TRUE;
}

void PrintMenu(HMENU menu, int depth) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, i, text, 256, MF_BYPOSITION);
    const UINT state = GetMenuState(menu, i, MF_BYPOSITION);
    const UINT id = GetMenuItemID(menu, i);
    std::printf("%*s%s", depth * 2, "", (state & MF_SEPARATOR) ? "-" : Utf8(text).c_str());
    if (id != static_cast<UINT>(-1)) std::printf(" [%u]", id);
    if (state & (MF_GRAYED | MF_DISABLED)) std::printf(" grayed");
    if (state & MF_CHECKED) std::printf(" checked");
    std::printf("\n");
    if (HMENU sub = GetSubMenu(menu, i)) PrintMenu(sub, depth + 1);
  }
}

void SendKey(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

WORD NamedKey(const std::string& name) {
  static const struct {
    const char* name;
    WORD vk;
  } kKeys[] = {{"enter", VK_RETURN}, {"tab", VK_TAB},     {"esc", VK_ESCAPE}, {"space", VK_SPACE}, {"back", VK_BACK},
               {"del", VK_DELETE},   {"ins", VK_INSERT},  {"home", VK_HOME},  {"end", VK_END},     {"up", VK_UP},
               {"down", VK_DOWN},    {"left", VK_LEFT},   {"right", VK_RIGHT}, {"pgup", VK_PRIOR}, {"pgdn", VK_NEXT}};
  for (const auto& key : kKeys) {
    if (name == key.name) return key.vk;
  }
  if (name.size() >= 2 && (name[0] == 'f' || name[0] == 'F') && std::isdigit(static_cast<unsigned char>(name[1]))) {
    const int number = std::atoi(name.c_str() + 1);
    if (number >= 1 && number <= 12) return static_cast<WORD>(VK_F1 + number - 1);
  }
  if (name.size() == 1) return static_cast<WORD>(LOBYTE(VkKeyScanA(name[0])));
  return 0;
}

// A character as its key, with Shift where the layout needs it; a character without a
// key on the layout as a Unicode key (VK_PACKET), which reaches the program as the
// character alone.
bool TypeCharacter(char character) {
  const SHORT scan = VkKeyScanA(character);
  if (scan == -1) {
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
      input.type = INPUT_KEYBOARD;
      input.ki.wScan = static_cast<WORD>(static_cast<unsigned char>(character));
      input.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    inputs[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    return SendInput(2, inputs, sizeof(INPUT)) == 2;
  }
  const bool shift = (scan & 0x100) != 0;
  if (shift) SendKey(VK_SHIFT, false);
  SendKey(LOBYTE(scan), false);
  SendKey(LOBYTE(scan), true);
  if (shift) SendKey(VK_SHIFT, true);
  return true;
}

// Typing pauses 2 ms after each key (a person's pace, and room for a busy program);
// a timed run sends its keys at once.
bool g_keyPause = true;

// Plain characters as their keys (with Shift where the layout needs it); {name} for
// a named key, {lbrace} and {rbrace} for the braces, and {ctrl+x}, {shift+f10},
// {alt+a} for chords, so that the program sees real key downs and GetKeyState sees
// the modifiers.
bool TypeText(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{') {
      const size_t close = text.find('}', i);
      if (close == std::string::npos) return false;
      std::string chord = text.substr(i + 1, close - i - 1);
      i = close;
      if (chord == "lbrace" || chord == "rbrace") {
        if (!TypeCharacter(chord == "lbrace" ? '{' : '}')) return false;
        continue;
      }
      std::vector<WORD> modifiers;
      for (;;) {
        const size_t plus = chord.find('+');
        if (plus == std::string::npos || plus + 1 >= chord.size()) break;
        const std::string modifier = chord.substr(0, plus);
        chord = chord.substr(plus + 1);
        if (modifier == "ctrl") modifiers.push_back(VK_CONTROL);
        else if (modifier == "shift") modifiers.push_back(VK_SHIFT);
        else if (modifier == "alt") modifiers.push_back(VK_MENU);
        else return false;
      }
      // {name*N}: the key N times.
      int repeat = 1;
      if (const size_t star = chord.find('*'); star != std::string::npos) {
        repeat = std::atoi(chord.c_str() + star + 1);
        chord = chord.substr(0, star);
      }
      const WORD vk = NamedKey(chord);
      if (vk == 0 || repeat < 1) return false;
      for (int n = 0; n < repeat; ++n) {
        for (WORD m : modifiers) SendKey(m, false);
        SendKey(vk, false);
        SendKey(vk, true);
        for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m) SendKey(*m, true);
        if (g_keyPause && n + 1 < repeat) Sleep(2);
      }
    } else if (!TypeCharacter(text[i])) {
      return false;
    }
    if (g_keyPause) Sleep(2);
  }
  return true;
}

// One click, or two in one input run for a double click (the second press comes well
// within the double-click time, at the same point).
void Click(POINT screen, int clicks = 1) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[5] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, width - 1);
    input.mi.dy = MulDiv(screen.y, 65535, height - 1);
  }
  // Each event carries the position: a button event without one is taken where the
  // pointer is when it is handled, and the program's own pointer events (the X pointer
  // still where it was before the move) can have put it back there meanwhile.
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  for (int i = 0; i < 4; i += 2) {
    inputs[1 + i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    inputs[2 + i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  }
  const UINT count = clicks == 2 ? 5 : 3;
  SendInput(count, inputs, sizeof(INPUT));
}

bool CaptureToBmp(const RECT& area, const std::string& path) {
  ScreenGrab grab;
  if (!GrabScreen(area, &grab)) return false;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(grab.bits.size());
  bool written = false;
  if (FILE* out = std::fopen(path.c_str(), "wb")) {
    written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&grab.header, sizeof grab.header, 1, out) == 1 &&
              std::fwrite(grab.bits.data(), 1, grab.bits.size(), out) == grab.bits.size();
    written = std::fclose(out) == 0 && written;
  }
  return written;
}

// The help engine's stand-in: each WM_COPYDATA of the help protocol becomes one line
// "command=C data=D file=F" in the log, written once the program has been answered.
std::string g_helpLog;

LRESULT CALLBACK HelpStandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const auto* bytes = static_cast<const unsigned char*>(copy->lpData);
    if (bytes != nullptr && copy->cbData >= 16) {
      WORD command = 0;
      LONG data = 0;
      WORD fileOffset = 0;
      std::memcpy(&command, bytes + 2, 2);
      std::memcpy(&data, bytes + 4, 4);
      std::memcpy(&fileOffset, bytes + 12, 2);
      std::string file;
      for (DWORD at = fileOffset; at < copy->cbData && bytes[at] != 0; ++at) file += static_cast<char>(bytes[at]);
      // The program is let go before the request shows in the log: whoever reads the log
      // next finds the program past its help call (it may still be finishing the work
      // after it, such as activating its window again, but no longer waiting here).
      ReplyMessage(TRUE);
      if (FILE* log = std::fopen(g_helpLog.c_str(), "a")) {
        std::fprintf(log, "command=%u data=%ld file=%s\n", command, static_cast<long>(data), file.c_str());
        std::fclose(log);
      }
    }
    return TRUE;
  }
  if (message == WM_CLOSE) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int RunHelpStandIn(const std::string& log) {
  g_helpLog = log;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = HelpStandInProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "MS_WINHELP";
  if (!RegisterClassA(&windowClass)) return Fail("cannot register the help window class");
  if (!CreateWindowA("MS_WINHELP", "help stand-in", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                     windowClass.hInstance, nullptr)) {
    return Fail("cannot create the help window");
  }
  std::printf("ready\n");
  std::fflush(stdout);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

struct ProcessWindowSearch {
  DWORD process;
  std::string pattern;  // a title, or "#class"
  HWND found = nullptr;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<ProcessWindowSearch*>(parameter);
  if (!IsWindowVisible(window) || (search->process != 0 && ProcessOf(window) != search->process)) return TRUE;
  const bool byClass = !search->pattern.empty() && search->pattern[0] == '#';
  if (byClass ? ClassOf(window) == search->pattern : TitleMatches(TitleOf(window), search->pattern)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// A visible top-level window of the process (0: any) by title or "#class".
HWND FindProcessWindow(DWORD process, const std::string& pattern) {
  ProcessWindowSearch search{process, pattern};
  EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Starts the program in the driver's directory and waits for its window: the
// milliseconds from CreateProcess to the window being visible.
int Launch(const std::string& title, DWORD limit, const std::vector<std::string>& command) {
  std::string line;
  for (const std::string& word : command) line += (line.empty() ? "" : " ") + ("\"" + word + "\"");
  // The program's output goes nowhere: it must not keep the driver's output open.
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = nul;
  startup.hStdError = nul;
  PROCESS_INFORMATION process{};
  LARGE_INTEGER frequency;
  LARGE_INTEGER begin;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&begin);
  const BOOL started =
      CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &startup, &process);
  CloseHandle(nul);
  if (!started) return Fail("cannot start " + command[0]);
  CloseHandle(process.hThread);
  for (;;) {
    if (FindProcessWindow(process.dwProcessId, title) != nullptr) break;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if ((now.QuadPart - begin.QuadPart) * 1000 / frequency.QuadPart > limit ||
        WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
      CloseHandle(process.hProcess);
      return Fail("no window \"" + title + "\" of the started program");
    }
    Sleep(1);
  }
  LARGE_INTEGER end;
  QueryPerformanceCounter(&end);
  CloseHandle(process.hProcess);
  std::printf("%lld\n", static_cast<long long>((end.QuadPart - begin.QuadPart) * 1000 / frequency.QuadPart));
  return 0;
}

// The entries of a list box, -1 while its thread does not answer.
LRESULT ListCount(HWND list) {
  DWORD_PTR count = 0;
  if (SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 1000, &count) == 0) return -1;
  return static_cast<LRESULT>(count);
}

// Posts a command and waits for a window of the same process: the milliseconds. With
// a list box's control id, the window's work counts only once that list holds
// `entries` entries (a dialog that fills its list after it shows is not done before).
int TimeCommand(HWND top, int command, const std::string& pattern, DWORD limit, int list, LRESULT entries) {
  const DWORD process = ProcessOf(top);
  const DWORD start = GetTickCount();
  PostMessageA(top, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  LRESULT count = -1;
  for (;;) {
    if (HWND window = FindProcessWindow(process, pattern)) {
      if (list == 0) break;
      HWND box = GetDlgItem(window, list);
      count = box != nullptr ? ListCount(box) : -1;
      if (count >= entries) break;
    }
    if (GetTickCount() - start > limit) {
      if (count >= 0) {
        return Fail("\"" + pattern + "\" lists " + std::to_string(count) + " entries, not " + std::to_string(entries));
      }
      return Fail("no window \"" + pattern + "\"" + (list != 0 ? " with a list " + std::to_string(list) : "") +
                  " after command " + std::to_string(command));
    }
    Sleep(1);
  }
  std::printf("%lu\n", GetTickCount() - start);
  return 0;
}

// Where a window's client area lies on the screen.
RECT ClientOnScreen(HWND window) {
  RECT area{};
  GetClientRect(window, &area);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
  return area;
}

// The lines of text a window's client area shows in the fixed font.
bool ReadClientText(HWND window, std::vector<ScreenLine>* lines, std::string* why) {
  ScreenGrab grab;
  if (!GrabScreen(ClientOnScreen(window), &grab)) {
    *why = "the window has no client area on the screen";
    return false;
  }
  return ReadScreenText(grab, lines, why);
}

// Waits until a line of text that the window's client area shows holds `text`; when
// none does within the limit, says what the window shows.
int WaitShows(HWND top, const std::string& text, DWORD limit) {
  const DWORD start = GetTickCount();
  std::vector<ScreenLine> lines;
  // A reading costs some milliseconds of work: a text that is long in coming is read
  // for less and less often, up to once a second.
  DWORD pause = 50;
  for (;; pause = std::min<DWORD>(pause * 2, 1000)) {
    std::string why;
    if (!ReadClientText(top, &lines, &why)) return Fail(why);
    for (const ScreenLine& line : lines) {
      if (line.text.find(text) != std::string::npos) return 0;
    }
    if (GetTickCount() - start > limit) break;
    Sleep(pause);
  }
  std::string shown;
  for (const ScreenLine& line : lines) shown += "\n  " + line.text;
  return Fail("\"" + TitleOf(top) + "\" does not show \"" + text + "\"; it shows" + (shown.empty() ? " no text" : ":" + shown));
}

// The lines of a text file that hold `text` (the agent's trace, read through Z:).
size_t LinesHolding(const std::string& file, const std::string& text) {
  size_t count = 0;
  if (FILE* in = std::fopen(file.c_str(), "rb")) {
    std::string line;
    for (int ch = std::fgetc(in); ch != EOF; ch = std::fgetc(in)) {
      if (ch != '\n') {
        line += static_cast<char>(ch);
        continue;
      }
      if (line.find(text) != std::string::npos) ++count;
      line.clear();
    }
    std::fclose(in);
  }
  return count;
}

// Posts a command and waits until the agent's trace holds one more line with `text`
// (the request the command makes): the milliseconds in between.
int TimeAgent(HWND top, int command, const std::string& trace, const std::string& text, DWORD limit) {
  const size_t before = LinesHolding(trace, text);
  LARGE_INTEGER frequency;
  LARGE_INTEGER start;
  LARGE_INTEGER now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  PostMessageA(top, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  for (;;) {
    QueryPerformanceCounter(&now);
    const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    if (LinesHolding(trace, text) > before) {
      std::printf("%.1f\n", ms);
      return 0;
    }
    if (ms > limit) return Fail("no \"" + text + "\" in the agent's trace after command " + std::to_string(command));
    Sleep(0);
  }
}

// Posts the command that ends the program, answers OK to a question of the program,
// and waits for the process to end: the milliseconds and the exit status.
int TimeExit(HWND top, int command, DWORD limit) {
  const DWORD processId = ProcessOf(top);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
  if (process == nullptr) return Fail("cannot open the program's process");
  const DWORD start = GetTickCount();
  PostMessageA(top, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  bool answered = false;
  while (WaitForSingleObject(process, 1) == WAIT_TIMEOUT) {
    if (!answered) {
      if (HWND box = FindProcessWindow(processId, "#32770")) {
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        answered = true;
      }
    }
    if (GetTickCount() - start > limit) {
      CloseHandle(process);
      return Fail("the program has not ended");
    }
  }
  DWORD status = 0;
  GetExitCodeProcess(process, &status);
  CloseHandle(process);
  std::printf("%lu %lu\n", GetTickCount() - start, status);
  return 0;
}

// Whether a window has stopped working: its picture on the screen has not changed
// for the limit. A timed wait gives up only then (a hang): a machine too busy to let
// the program work at its pace costs time, never the run. It looks every 200 ms.
class ProgressWatch {
 public:
  ProgressWatch(HWND window, DWORD limit) : m_window(window), m_limit(limit) {
    m_lastLook = m_lastChange = GetTickCount();
  }
  bool Stalled() {
    const DWORD now = GetTickCount();
    if (now - m_lastLook >= 200) {
      m_lastLook = now;
      RECT area{};
      GetWindowRect(m_window, &area);
      ScreenGrab grab;
      if (GrabScreen(area, &grab) && grab.bits != m_picture.bits) {
        m_picture = std::move(grab);
        m_lastChange = now;
      }
    }
    return now - m_lastChange > m_limit;
  }

 private:
  HWND m_window;
  DWORD m_limit;
  DWORD m_lastLook;
  DWORD m_lastChange;
  ScreenGrab m_picture;
};

BOOL CALLBACK PrintProcessWindow(HWND window, LPARAM process) {
  if (ProcessOf(window) != static_cast<DWORD>(process)) return TRUE;
  RECT r{};
  GetWindowRect(window, &r);
  std::printf("\"%s\" %s %ld,%ld %ldx%ld%s\n", TitleOf(window).c_str(), ClassOf(window).c_str(), r.left, r.top,
              r.right - r.left, r.bottom - r.top, IsWindowVisible(window) ? "" : " hidden");
  return TRUE;
}

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(parameter);
  if (IsWindowVisible(window) && ProcessOf(window) == search->first) search->second.push_back(window);
  return TRUE;
}

bool BringToForeground(HWND top);

// The milliseconds from keys typed into the window until every window of its program
// has been repainted:
// 1. the window's picture changes (the keys have had their effect);
// 2. from then on, the last moment no visible top-level window of the program had a
//    part left to paint, once that has held for 50 ms.
// It gives up when nothing changes for the limit (1), or when the painting goes on
// while the window's picture stays as it is for the limit (2).
int TimeRepaint(HWND top, const std::string& keys, DWORD limit) {
  std::pair<DWORD, std::vector<HWND>> program{ProcessOf(top), {}};
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&program));
  RECT area{};
  GetWindowRect(top, &area);
  ScreenGrab before;
  ScreenGrab now;
  if (!GrabScreen(area, &before)) return Fail("cannot read the window's picture");
  if (!BringToForeground(top)) return Fail("the window does not come to the front");
  const DWORD start = GetTickCount();
  if (!TypeText(keys)) return Fail("cannot type \"" + keys + "\"");
  for (;;) {
    if (GrabScreen(area, &now) && now.bits != before.bits) break;
    if (GetTickCount() - start > limit) return Fail("the window's picture does not change");
    Sleep(1);
  }
  DWORD clean = 0;
  ProgressWatch painting(top, limit);
  for (;;) {
    bool pending = false;
    for (HWND window : program.second) pending = pending || GetUpdateRect(window, nullptr, FALSE);
    const DWORD tick = GetTickCount();
    if (pending) {
      clean = 0;
    } else if (clean == 0) {
      clean = tick;
    } else if (tick - clean >= 50) {
      break;
    }
    if (pending && painting.Stalled()) return Fail("the windows are still being painted");
    Sleep(1);
  }
  std::printf("%lu\n", clean - start);
  return 0;
}

bool WaitSettled(HWND top, DWORD limit);

// The window becomes the foreground window before any input is sent: the program may
// be busy (a running target's poll) when asked, and input sent before the switch is
// done would go to the window that was in front. The switch is done once the
// program's thread has given the focus to the window or one of its children and the
// focus has stayed there while the thread answered a message and for 100 ms more: a
// busy program activates first and moves the focus later (the frame hands it on to
// the window inside it), and keys typed in between go to the window that had it.
// When the window was not in front already, the program then settles too: it takes
// the activation of another of its windows in several messages, and on a loaded
// machine keys that came among them were lost (a Ctrl+F for the Source window that
// opened no Source Find, a quarter of the runs).
bool BringToForeground(HWND top) {
  const DWORD start = GetTickCount();
  const bool switching = GetForegroundWindow() != top;
  const DWORD thread = GetWindowThreadProcessId(top, nullptr);
  const auto focus = [&]() -> HWND {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (GetForegroundWindow() != top || !GetGUIThreadInfo(thread, &info) || info.hwndFocus == nullptr) return nullptr;
    return info.hwndFocus == top || IsChild(top, info.hwndFocus) ? info.hwndFocus : nullptr;
  };
  SetForegroundWindow(top);
  HWND settled = nullptr;
  DWORD since = 0;
  for (;;) {
    HWND now = focus();
    if (now != nullptr) {
      Answers(top, 2000);
      now = focus();
    }
    if (now == nullptr || now != settled) {
      settled = now;
      since = GetTickCount();
    } else if (GetTickCount() - since >= 100) {
      return !switching || WaitSettled(top, kHangLimitMs);
    }
    if (GetTickCount() - start > kHangLimitMs) return false;
    Sleep(5);
    if (GetForegroundWindow() != top) SetForegroundWindow(top);
  }
}

// Waits until the window (or a window inside it) is the one at the screen point, as
// the click sent there will find it: nothing of the program's or another's lies over
// it there.
bool WaitUppermostAt(HWND target, POINT screen, DWORD limit) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND hit = WindowFromPoint(screen);
    if (hit != nullptr && (hit == target || IsChild(target, hit))) return true;
    if (GetTickCount() - start > limit) return false;
    Sleep(5);
  }
}

BOOL CALLBACK NoteChildPaint(HWND window, LPARAM parameter) {
  if (IsWindowVisible(window) && GetUpdateRect(window, nullptr, FALSE)) *reinterpret_cast<bool*>(parameter) = true;
  return TRUE;
}

// Whether a visible window of the process, or a window inside one, has a part left to
// paint.
bool PaintPending(DWORD process) {
  std::pair<DWORD, std::vector<HWND>> program{process, {}};
  EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&program));
  bool pending = false;
  for (HWND window : program.second) {
    pending = pending || GetUpdateRect(window, nullptr, FALSE);
    EnumChildWindows(window, NoteChildPaint, reinterpret_cast<LPARAM>(&pending));
  }
  return pending;
}

// Waits until the window's program has settled: its thread answers a message sent now
// (so it has handled what came before it) and none of its windows has a part left to
// paint, and both still hold 100 ms later. For a picture of what the input before
// has done, and before keys to a window just brought to the front.
bool WaitSettled(HWND top, DWORD limit) {
  const DWORD process = ProcessOf(top);
  const DWORD start = GetTickCount();
  DWORD quietSince = 0;
  for (;;) {
    const bool answered = Answers(top, limit);
    const DWORD now = GetTickCount();
    if (!answered || PaintPending(process)) {
      quietSince = 0;
    } else if (quietSince == 0) {
      quietSince = now;
    } else if (now - quietSince >= 100) {
      return true;
    }
    if (now - start > limit) return false;
    Sleep(10);
  }
}

int Settle(HWND top, DWORD limit) { return WaitSettled(top, limit) ? 0 : Fail("the program does not settle"); }

// The size of a file, -1 when it cannot be read.
LONGLONG FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Types the keys at once and waits for the work they started to be done: a file that
// grows (a log the program or a stand-in writes), or "#CLASS" a window of that class
// that shows (a menu the last key opens): the milliseconds. It gives up when the
// window's picture has not changed for the limit (the work shows as it goes).
int TimeType(HWND top, const std::string& keys, const std::string& until, DWORD limit) {
  const bool byWindow = !until.empty() && until[0] == '#';
  const std::string& file = until;
  const LONGLONG before = byWindow ? 0 : FileSize(file);
  const auto done = [&] { return byWindow ? FindProcessWindow(0, until) != nullptr : FileSize(file) > before; };
  g_keyPause = false;
  if (!BringToForeground(top)) return Fail("the window does not come to the front");
  LARGE_INTEGER frequency;
  LARGE_INTEGER begin;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&begin);
  if (!TypeText(keys)) return Fail("cannot type \"" + keys + "\"");
  ProgressWatch work(top, limit);
  for (;;) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const LONGLONG ms = (now.QuadPart - begin.QuadPart) * 1000 / frequency.QuadPart;
    if (done()) {
      std::printf("%lld\n", static_cast<long long>(ms));
      return 0;
    }
    if (work.Stalled()) return Fail(byWindow ? "no window " + until : file + " did not grow");
    Sleep(1);
  }
}

int Usage() {
  std::fprintf(stderr,
               "usage: zentor-driver wait TITLE [ms [OTHER]] | gone TITLE [ms] | children TITLE | menu TITLE |\n"
               "  click TITLE [ID] X Y | doubleclick TITLE [ID] X Y | command TITLE ID | close TITLE | answer ok|cancel|yes|no [ms] |\n"
               "  settext TITLE ID TEXT | gettext TITLE [ID] | listtext TITLE ID | combotext TITLE ID |\n"
               "  type TITLE TEXT | capture TITLE [ID|client] FILE.bmp | help-standin LOG |\n"
               "  launch TITLE MS PROGRAM [ARGS...] | time-command TITLE ID WINDOW MS [LIST ENTRIES] | time-exit TITLE ID MS |\n"
               "  time-agent TITLE ID TRACE TEXT MS | time-repaint TITLE KEYS MS |\n"
               "  rect TITLE|#CLASS [MS] | enabled TITLE [ID] | checked TITLE ID | move TITLE X Y W H |\n"
               "  quit TITLE | time-type TITLE KEYS FILE|#CLASS MS | responds TITLE MS | settle TITLE MS |\n"
               "  respond-watch TITLE MS | read TITLE [ID] | shows TITLE TEXT MS\n");
  return 2;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  const std::string& action = args[0];
  const auto arg = [&](size_t i) -> const std::string& {
    static const std::string kEmpty;
    return i < args.size() ? args[i] : kEmpty;
  };
  if (action == "help-standin" && args.size() == 2) return RunHelpStandIn(args[1]);
  // "respond-watch TITLE MS", started before the program: as soon as the window shows,
  // a message is sent to it; the answer must come while the window still stands (its
  // thread serves its messages then, not only once it is gone).
  if (action == "respond-watch" && args.size() == 3) {
    const DWORD limit = std::strtoul(args[2].c_str(), nullptr, 10);
    HWND window = WaitTopLevel(args[1], limit);
    if (window == nullptr) return Fail("no window \"" + args[1] + "\"");
    if (!Answers(window, limit)) return Fail("\"" + args[1] + "\" did not answer");
    if (!IsWindow(window) || !IsWindowVisible(window)) return Fail("\"" + args[1] + "\" answered only once it was gone");
    std::printf("answered\n");
    return 0;
  }
  if (action == "launch" && args.size() >= 4) {
    return Launch(args[1], std::strtoul(args[2].c_str(), nullptr, 10), std::vector<std::string>(args.begin() + 3, args.end()));
  }
  if (action == "rect" && args.size() >= 2) {
    const DWORD limit = args.size() > 2 ? std::strtoul(args[2].c_str(), nullptr, 10) : kHangLimitMs;
    const DWORD start = GetTickCount();
    HWND window = nullptr;
    while ((window = FindProcessWindow(0, args[1])) == nullptr) {
      if (GetTickCount() - start > limit) return Fail("no window \"" + args[1] + "\"");
      Sleep(5);
    }
    RECT r{};
    GetWindowRect(window, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  // "wait TITLE MS OTHER": a window OTHER that shows first fails the wait.
  if (action == "wait" && args.size() >= 2 && args.size() <= 4) {
    const DWORD limit = args.size() > 2 ? std::strtoul(args[2].c_str(), nullptr, 10) : kHangLimitMs;
    const DWORD start = GetTickCount();
    HWND window = nullptr;
    while ((window = FindTopLevel(args[1])) == nullptr) {
      if (args.size() == 4 && FindTopLevel(args[3]) != nullptr) return Fail("a window \"" + args[3] + "\" came first");
      if (GetTickCount() - start > limit) return Fail("no window \"" + args[1] + "\"");
      Sleep(10);
    }
    std::printf("%s\n", TitleOf(window).c_str());
    return 0;
  }
  if (action == "gone" && args.size() >= 2) {
    const DWORD limit = args.size() > 2 ? std::strtoul(args[2].c_str(), nullptr, 10) : kHangLimitMs;
    const DWORD start = GetTickCount();
    while (FindTopLevel(args[1]) != nullptr) {
      if (GetTickCount() - start > limit) return Fail("window \"" + args[1] + "\" still there");
      Sleep(10);
    }
    return 0;
  }
  if (action == "answer" && args.size() >= 2) {
    static const struct {
      const char* name;
      int id;
    } kButtons[] = {{"ok", IDOK}, {"cancel", IDCANCEL}, {"yes", IDYES}, {"no", IDNO}};
    int id = 0;
    for (const auto& button : kButtons) {
      if (args[1] == button.name) id = button.id;
    }
    if (id == 0) return Usage();
    const DWORD limit = args.size() > 2 ? std::strtoul(args[2].c_str(), nullptr, 10) : kHangLimitMs;
    const DWORD start = GetTickCount();
    HWND box = nullptr;
    while ((box = FindWindowA("#32770", nullptr)) == nullptr || !IsWindowVisible(box)) {
      if (GetTickCount() - start > limit) return Fail("no message box");
      Sleep(10);
    }
    HWND text = GetDlgItem(box, 0xFFFF);
    std::printf("%s\n", text != nullptr ? TitleOf(text).c_str() : "");
    HWND button = GetDlgItem(box, id);
    if (button == nullptr) return Fail("the message box has no such button");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
  }
  if (action == "type" && args.size() == 3) {
    HWND top = Top(args[1]);
    if (top == nullptr) return Fail("no window \"" + args[1] + "\"");
    if (!BringToForeground(top)) return Fail("\"" + args[1] + "\" does not come to the front");
    return TypeText(args[2]) ? 0 : Fail("cannot type \"" + args[2] + "\"");
  }
  HWND top = args.size() >= 2 ? Top(args[1]) : nullptr;
  if (top == nullptr) return args.size() >= 2 ? Fail("no window \"" + args[1] + "\"") : Usage();
  if (action == "children") {
    EnumChildWindows(top, PrintChild, 0);
    return 0;
  }
  if (action == "menu") {
    HMENU menu = GetMenu(top);
    if (menu == nullptr) return Fail("the window has no menu");
    // Wine keeps a menu's items with the process that made it: from here the bar of
    // another process has none. Status 3 says so apart from a real failure.
    if (GetMenuItemCount(menu) <= 0) {
      Fail("the menu bar reads as empty from another process");
      return 3;
    }
    PrintMenu(menu, 0);
    return 0;
  }
  if (action == "checked" && args.size() == 3) {
    HMENU menu = GetMenu(top);
    if (menu == nullptr) return Fail("the window has no menu");
    if (GetMenuItemCount(menu) <= 0) {
      Fail("the menu bar reads as empty from another process");
      return 3;
    }
    const UINT state = GetMenuState(menu, static_cast<UINT>(std::atoi(args[2].c_str())), MF_BYCOMMAND);
    if (state == static_cast<UINT>(-1)) return Fail("no menu item " + args[2]);
    std::printf("%d\n", (state & MF_CHECKED) != 0 ? 1 : 0);
    return 0;
  }
  if (action == "move" && args.size() == 6) {
    const int x = std::atoi(args[2].c_str()), y = std::atoi(args[3].c_str());
    const int width = std::atoi(args[4].c_str()), height = std::atoi(args[5].c_str());
    if (!SetWindowPos(top, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE)) return Fail("cannot move it");
    return 0;
  }
  if (action == "command" && args.size() == 3) {
    PostMessageA(top, WM_COMMAND, MAKEWPARAM(std::atoi(args[2].c_str()), 0), 0);
    return 0;
  }
  // Whether the window's thread serves its messages: a message sent from here is
  // answered within the time.
  if (action == "responds" && args.size() == 3) {
    if (!Answers(top, std::strtoul(args[2].c_str(), nullptr, 10))) {
      return Fail("\"" + args[1] + "\" does not answer within " + args[2] + " ms");
    }
    return 0;
  }
  // "windows TITLE": the top-level windows of the window's program, hidden ones too, a
  // line each (what a failed step saw).
  if (action == "windows") {
    EnumWindows(PrintProcessWindow, static_cast<LPARAM>(ProcessOf(top)));
    return 0;
  }
  if (action == "settle" && args.size() == 3) return Settle(top, std::strtoul(args[2].c_str(), nullptr, 10));
  if (action == "time-command" && (args.size() == 5 || args.size() == 7)) {
    return TimeCommand(top, std::atoi(args[2].c_str()), args[3], std::strtoul(args[4].c_str(), nullptr, 10),
                       args.size() == 7 ? std::atoi(args[5].c_str()) : 0, args.size() == 7 ? std::atol(args[6].c_str()) : 0);
  }
  // "shows TITLE TEXT MS": the text may begin with a digit, which names no control here.
  if (action == "shows" && args.size() == 4) return WaitShows(top, args[2], std::strtoul(args[3].c_str(), nullptr, 10));
  if (action == "time-agent" && args.size() == 6) {
    return TimeAgent(top, std::atoi(args[2].c_str()), args[3], args[4], std::strtoul(args[5].c_str(), nullptr, 10));
  }
  if (action == "time-repaint" && args.size() == 4) {
    return TimeRepaint(top, args[2], std::strtoul(args[3].c_str(), nullptr, 10));
  }
  if (action == "time-exit" && args.size() == 4) {
    return TimeExit(top, std::atoi(args[2].c_str()), std::strtoul(args[3].c_str(), nullptr, 10));
  }
  if (action == "close") {
    PostMessageA(top, WM_CLOSE, 0, 0);
    return 0;
  }
  // A quit message in the thread's queue, as when the session ends under the program.
  if (action == "quit") {
    const DWORD thread = GetWindowThreadProcessId(top, nullptr);
    return PostThreadMessageA(thread, WM_QUIT, 0, 0) ? 0 : Fail("cannot post the quit message");
  }
  if (action == "time-type" && args.size() == 5) {
    return TimeType(top, args[2], args[3], std::strtoul(args[4].c_str(), nullptr, 10));
  }
  // "capture TITLE client FILE": a top-level window's client area, without its frame.
  if (action == "capture" && args.size() == 4 && args[2] == "client") {
    if (!CaptureToBmp(ClientOnScreen(top), args[3])) return Fail("cannot capture to " + args[3]);
    std::printf("%s\n", TitleOf(top).c_str());
    return 0;
  }
  bool isChild = false;
  const bool clicks = action == "click" || action == "doubleclick";
  // "click TITLE X Y" clicks the window itself: its first number is no control id.
  HWND target = clicks && args.size() == 4 ? top : Target(args, 1, &isChild);
  if (target == nullptr) return Fail("no control " + arg(2) + " in \"" + args[1] + "\"");
  const size_t rest = isChild ? 3 : 2;
  if (clicks && args.size() == rest + 2) {
    // The point on the screen is found once the window is in front and its program has
    // settled: a window just made may still be placed where it belongs, and a click at
    // where it first stood lands in the window beneath (a double click meant for the
    // Modules window browsed to a data symbol of the Source window).
    if (!BringToForeground(top)) return Fail("\"" + args[1] + "\" does not come to the front");
    POINT point{std::atoi(args[rest].c_str()), std::atoi(args[rest + 1].c_str())};
    ClientToScreen(target, &point);
    if (!WaitUppermostAt(target, point, kHangLimitMs)) {
      return Fail("another window lies over \"" + args[1] + "\" at " + args[rest] + "," + args[rest + 1]);
    }
    Click(point, action == "doubleclick" ? 2 : 1);
    return 0;
  }
  // "read TITLE [ID]": the lines of text the client area shows, "Y X TEXT" each (Y and
  // X from the client area's top left).
  if (action == "read" && args.size() == rest) {
    std::vector<ScreenLine> lines;
    std::string why;
    if (!ReadClientText(target, &lines, &why)) return Fail(why);
    for (const ScreenLine& line : lines) std::printf("%d %d %s\n", line.y, line.x, line.text.c_str());
    return 0;
  }
  if (action == "iconic" && args.size() == rest) {
    std::printf("%d\n", IsIconic(target) ? 1 : 0);
    return 0;
  }
  if (action == "enabled" && args.size() == rest) {
    std::printf("%d\n", IsWindowEnabled(target) ? 1 : 0);
    return 0;
  }
  if (action == "settext" && isChild && args.size() == 4) {
    SendMessageW(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(args[3]).c_str()));
    return 0;
  }
  if (action == "gettext" && args.size() == rest) {
    std::wstring text(static_cast<size_t>(SendMessageW(target, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    SendMessageW(target, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    std::printf("%s\n", Utf8(text.c_str()).c_str());
    return 0;
  }
  if ((action == "listtext" || action == "combotext") && isChild && args.size() == 3) {
    const bool list = action == "listtext";
    const LRESULT count = SendMessageW(target, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      const LRESULT length = SendMessageW(target, list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, i, 0);
      if (length < 0) return Fail("cannot read entry " + std::to_string(i));
      std::wstring text(static_cast<size_t>(length) + 1, L'\0');
      SendMessageW(target, list ? LB_GETTEXT : CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
      std::printf("%s\n", Utf8(text.c_str()).c_str());
    }
    return 0;
  }
  if (action == "capture" && args.size() == rest + 1) {
    RECT area{};
    if (isChild) {
      area = ClientOnScreen(target);
    } else {
      GetWindowRect(target, &area);
    }
    if (!CaptureToBmp(area, args[rest])) return Fail("cannot capture to " + args[rest]);
    std::printf("%s\n", TitleOf(top).c_str());
    return 0;
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const int status = Run(args);
  std::fflush(stdout);
  return status;
}
