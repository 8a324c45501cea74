#include "scenario.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <algorithm>
#include <sstream>
#include <thread>

#include "rgb_image.h"
#include "stand_in_agent.h"
#include "wine_desktop.h"

namespace zentor::wine_gui {
namespace {

namespace fs = std::filesystem;

// Every wait of a scenario is bounded only against a hang: a window, a line of a file,
// a request or a picture that has not come after this long is taken as never coming.
// A scenario's own figure (the MS of `wait TITLE MS`) can raise the bound, never lower
// it: a machine busy with other work may take many times a quiet one's time, which is
// no fault of the program.
constexpr int kHangLimitMs = 60000;
// A driver's run ends by itself within the hang limit; its process is ended only well
// after that.
constexpr int kDriverRunLimitMs = kHangLimitMs + 30000;
// A timed run of the driver gives up by itself once the window's picture has not
// changed for the hang limit; while the program works, however slowly, it goes on.
constexpr int kTimedRunLimitMs = 30 * 60 * 1000;
int HangLimit(int ms) { return std::max(ms, kHangLimitMs); }

// The debugger's frame and its Go button, enabled when the target has stopped.
constexpr const char* kFrameTitle = "Zentor";
constexpr int kGoButton = 106;

// The timed actions: a scenario with one measures figures.
bool IsTimedAction(const std::string& name) {
  return name == "speed" || name == "speed-repaint" || name == "speed-command" || name == "speed-agent" ||
         name == "rate" || name == "time-keys";
}

bool SplitWords(const std::string& line, std::vector<std::string>* words, std::string* error) {
  size_t at = 0;
  while (at < line.size()) {
    if (line[at] == ' ' || line[at] == '\t') {
      ++at;
    } else if (line[at] == '#') {
      break;
    } else if (line[at] == '"') {
      std::string word;
      ++at;
      while (at < line.size() && line[at] != '"') {
        if (line[at] == '\\' && at + 1 < line.size()) ++at;
        word += line[at++];
      }
      if (at >= line.size()) {
        *error = "unclosed quote";
        return false;
      }
      ++at;
      words->push_back(word);
    } else {
      const size_t end = line.find_first_of(" \t", at);
      words->push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
      at = end == std::string::npos ? line.size() : end;
    }
  }
  return true;
}

// The programs a scenario can name, by where the Windows tree builds them.
std::string ProgramPath(const std::string& win32Build, const std::string& name) {
  if (name == "layer-probe") return win32Build + "/tests/wine-gui/layer-probe.exe";
  if (name == "zentor") return win32Build + "/src/app/zentor.exe";
  return {};
}

std::string ReplaceAll(std::string text, const std::string& name, const std::string& value) {
  for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + value.size())) {
    text.replace(at, name.size(), value);
  }
  return text;
}

std::string Trim(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

int ToInt(const std::string& text, int fallback) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  return end != text.c_str() && *end == '\0' ? static_cast<int>(value) : fallback;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void PutU16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}
void PutU32(std::string& out, uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

// A start-up logo: an 8-bit picture of the size, a frame and diagonal bands in a
// 16-step grey ramp, so that a capture shows where it lies and which way up.
std::string GeneratedLogo(int width, int height) {
  const uint32_t row = (static_cast<uint32_t>(width) + 3) & ~3u;
  const uint32_t colours = 16;
  std::string file;
  PutU16(file, 0x4D42);
  PutU32(file, 14 + 40 + colours * 4 + row * static_cast<uint32_t>(height));
  PutU32(file, 0);
  PutU32(file, 14 + 40 + colours * 4);
  PutU32(file, 40);
  PutU32(file, static_cast<uint32_t>(width));
  PutU32(file, static_cast<uint32_t>(height));
  PutU16(file, 1);
  PutU16(file, 8);
  for (int i = 0; i < 4; ++i) PutU32(file, 0);  // compression, image size, resolution
  PutU32(file, colours);
  PutU32(file, 0);
  for (uint32_t c = 0; c < colours; ++c) {
    const char grey = static_cast<char>(c * 17);
    file += std::string{grey, grey, static_cast<char>(255 - c * 17), 0};
  }
  for (int y = height - 1; y >= 0; --y) {
    std::string line(row, '\0');
    for (int x = 0; x < width; ++x) {
      const bool edge = x < 4 || y < 4 || x >= width - 4 || y >= height - 4;
      line[static_cast<size_t>(x)] = static_cast<char>(edge ? 15 : ((x + y) / 8) % 15);
    }
    file += line;
  }
  return file;
}

// A file that starts like a picture and has the older 12-byte core header.
std::string MalformedLogo() {
  std::string file;
  PutU16(file, 0x4D42);
  PutU32(file, 64);
  PutU32(file, 0);
  PutU32(file, 26);
  PutU32(file, 12);
  return file + std::string(38, '\x55');
}

uint32_t LoadU32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  return value;
}

// The data lengths of the live records of an id and name in a settings store file, in
// the order they were added, read straight from its bytes: at its end the directory
// (count, a reserved word, the records' offsets, a negated one dropped, the count
// again), at each offset a 66-byte header (checksum, id, 17-byte name, 33-byte
// description, time, data length).
std::vector<uint32_t> StoreRecordLengths(const std::string& file, uint32_t id, const std::string& name) {
  std::vector<uint32_t> lengths;
  if (file.size() < 12) return lengths;
  const uint32_t count = LoadU32(file, file.size() - 4);
  if (count > file.size() / 4 || 12 + 4 * static_cast<size_t>(count) > file.size()) return lengths;
  const size_t directory = file.size() - 12 - 4 * static_cast<size_t>(count);
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t offset = static_cast<int32_t>(LoadU32(file, directory + 8 + 4 * i));
    if (offset <= 0 || static_cast<size_t>(offset) + 66 > file.size()) continue;
    const size_t at = static_cast<size_t>(offset);
    const std::string recordName(file.c_str() + at + 8);
    if (LoadU32(file, at + 4) == id && recordName.substr(0, 17) == name) lengths.push_back(LoadU32(file, at + 62));
  }
  return lengths;
}

// One scenario's run: its desktop, its program and what the steps have seen.
class ScenarioRun {
 public:
  ScenarioRun(const Scenario& scenario, const HarnessPaths& paths) : m_scenario(scenario), m_paths(paths) {}

  bool Begin(std::string* error) {
    fs::create_directories(m_paths.scratch + "/work");
    const std::string program = ProgramPath(m_paths.win32Build, m_scenario.program);
    if (program.empty() || !fs::exists(program)) {
      *error = "no program \"" + m_scenario.program + "\" (looked for " + program + ")";
      return false;
    }
    m_programDir = m_paths.scratch + "/work";
    m_programBuilt = program;
    m_programCopy = m_paths.scratch + "/work/" + fs::path(program).filename().string();
    m_driver = m_paths.win32Build + "/tools/wine-gui/zentor-driver.exe";
    if (!m_desktop.Start(m_paths.scenarioDir + "/make-prefix", m_paths.win32Build + "/wine-gui-prefix", m_paths.scratch,
                         error)) {
      return false;
    }
    // The help stand-in comes first: the first program of a desktop also starts Wine's
    // services, which keep its output open, so it writes into a file.
    m_helpLog = m_paths.scratch + "/help.log";
    std::ofstream(m_helpLog).close();
    const std::string standInOutput = m_paths.scratch + "/help-standin.out";
    m_desktop.Spawn({m_driver, "help-standin", WineDesktop::WindowsPath(m_helpLog)}, m_paths.scratch, standInOutput);
    for (int waited = 0; Slurp(standInOutput).find("ready") == std::string::npos; waited += 10) {
      if (waited > kHangLimitMs) {
        *error = "the help stand-in did not start: " + Slurp(standInOutput);
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  // The words of an action with {agent} (the stand-in's link name), {samples} (the
  // sample modules' symbol files), {sources} (their sources) and {work} (the
  // program's directory) put in, the paths as the program names them.
  std::vector<std::string> Substitute(const std::vector<std::string>& words) const {
    const std::pair<std::string, std::string> names[] = {
        {"{agent}", "127.0.0.1:" + std::to_string(m_agent.Port())},
        {"{samples}", WineDesktop::WindowsPath(m_paths.nativeBuild + "/tools/samples")},
        {"{sources}", WineDesktop::WindowsPath(m_paths.sourceDir + "/tools/samples")},
        {"{work}", WineDesktop::WindowsPath(m_paths.scratch + "/work")},
    };
    std::vector<std::string> out = words;
    for (std::string& word : out) {
      for (const auto& [name, value] : names) word = ReplaceAll(word, name, value);
    }
    return out;
  }

  // Runs one action; false with the reason, or with `skipped` set.
  bool Do(const Action& rawAction, StepOutcome* outcome, bool* skipped) {
    Action action = rawAction;
    action.words = Substitute(rawAction.words);
    const std::vector<std::string>& w = action.words;
    const std::string& name = w[0];
    std::string& why = outcome->message;
    auto driver = [&](std::vector<std::string> args, int timeoutMs = kDriverRunLimitMs) {
      return Driver(std::move(args), &why, timeoutMs);
    };
    if (name == "agent" && w.size() >= 2) {
      const std::string samples = m_paths.nativeBuild + "/tools/samples";
      std::vector<std::string> arguments{"--module", samples + "/" + w[1] + ".mod", "--module-dir", samples};
      arguments.insert(arguments.end(), w.begin() + 2, w.end());
      return m_agent.Start(m_paths.nativeBuild + "/tools/agent/zentor-agent", arguments, m_paths.scratch, &why);
    }
    if (name == "expect-agent" && (w.size() == 2 || w.size() == 3)) {
      const int limit = HangLimit(w.size() == 3 ? ToInt(w[2], 0) : 0);
      for (int waited = 0;; waited += 10) {
        const std::vector<std::string> requests = m_agent.Requests();
        const std::string last = requests.empty() ? "" : requests.back();
        if (last.find(w[1]) != std::string::npos) return true;
        if (waited > limit) {
          why = "the agent's last request is \"" + last + "\"";
          return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    // Some request since the step began, in order after the one the last such check
    // found, holds each TEXT.
    if (name == "expect-agent-sent" && w.size() >= 2) {
      for (int waited = 0;; waited += 10) {
        const std::vector<std::string> requests = m_agent.Requests();
        size_t at = std::max(m_stepFirstRequest, m_agentSeen);
        size_t found = 0;
        for (size_t i = 1; i < w.size(); ++i) {
          while (at < requests.size() && requests[at].find(w[i]) == std::string::npos) ++at;
          if (at == requests.size()) break;
          ++found;
          ++at;
        }
        if (found == w.size() - 1) {
          m_agentSeen = at;
          return true;
        }
        if (waited > kHangLimitMs) {
          why = "the agent was not sent \"" + w[found + 1] + "\" since the step began";
          return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    if (name == "file" && w.size() >= 2) {
      std::ofstream out(m_paths.scratch + "/work/" + w[1]);
      for (size_t i = 2; i < w.size(); ++i) out << w[i] << "\r\n";
      return static_cast<bool>(out);
    }
    // The build's own logo, beside the program there.
    if (name == "logo" && w.size() == 2 && w[1] == "program") {
      const fs::path shipped = fs::path(ProgramPath(m_paths.win32Build, m_scenario.program)).parent_path() / "ZENTORLG.BMP";
      std::error_code failed;
      fs::copy_file(shipped, m_paths.scratch + "/work/ZENTORLG.BMP", fs::copy_options::overwrite_existing, failed);
      if (failed) why = "no logo beside the program: " + shipped.string();
      return !failed;
    }
    if (name == "logo" && (w.size() == 2 || w.size() == 3)) {
      const std::string picture = w[1] == "bad" ? MalformedLogo() : GeneratedLogo(ToInt(w[1], 0), ToInt(w[2], 0));
      std::ofstream(m_paths.scratch + "/work/ZENTORLG.BMP", std::ios::binary) << picture;
      return true;
    }
    if (name == "expect-centred" && (w.size() == 2 || w.size() == 3)) {
      RunResult result = driver({"rect", w[1], std::to_string(HangLimit(w.size() == 3 ? ToInt(w[2], 0) : 0))});
      if (result.status != 0) return false;
      int left = 0, top = 0, right = 0, bottom = 0;
      std::istringstream(result.output) >> left >> top >> right >> bottom;
      const int expectX = ((kScreenWidth - (right - left)) / 2 + 4) & ~7;
      const int expectY = (kScreenHeight - (bottom - top)) / 2;
      if (left != expectX || top != expectY) {
        why = "the window lies at " + std::to_string(left) + "," + std::to_string(top) + ", not " +
              std::to_string(expectX) + "," + std::to_string(expectY);
        return false;
      }
      return true;
    }
    // expect-shows TITLE TEXT [MS]: a line of text the window's client area shows on
    // the screen (read in the panes' fixed font) holds TEXT.
    if (name == "expect-shows" && (w.size() == 3 || w.size() == 4)) {
      return Shows(w[1], w[2], HangLimit(w.size() == 4 ? ToInt(w[3], 0) : 0), &why);
    }
    if (name == "expect-enabled" && (w.size() == 4 || w.size() == 5)) {
      return WaitEnabled(w[1], ToInt(w[2], -1), w[3] == "1", HangLimit(w.size() == 5 ? ToInt(w[4], 0) : 0), &why);
    }
    // Whether a window is minimised, once the window's thread has handled what came
    // before (it answers a message sent now); a change still to come is waited for.
    if (name == "expect-iconic" && w.size() == 3) {
      if (!Responds(w[1], &why)) return false;
      for (int waited = 0;; waited += 100) {
        RunResult result = driver({"iconic", w[1]});
        if (result.status != 0) return false;
        if (Trim(result.output) == w[2]) return true;
        if (waited > kHangLimitMs) {
          why = "\"" + w[1] + "\" is " + (Trim(result.output) == "1" ? "minimised" : "not minimised");
          return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
    if (name == "figure" && w.size() >= 2) {
      m_figureNames.assign(w.begin() + 1, w.end());
      return true;
    }
    if (IsTimedAction(name)) {
      bool done = false;
      if (name == "speed" && w.size() >= 5) done = Speed(w, outcome, &why);
      else if (name == "speed-agent" && (w.size() == 5 || w.size() == 6)) done = SpeedAgent(w, outcome, &why);
      else if (name == "speed-repaint" && (w.size() == 4 || (w.size() == 6 && w[4] == "fence"))) {
        done = SpeedRepaint(w, outcome, &why);
      }
      else if (name == "rate" && w.size() == 7) done = Rate(w, outcome, &why);
      else if (name == "time-keys" && (w.size() == 8 || w.size() == 9)) done = TimeKeys(w, outcome, &why);
      else if (name == "speed-command" && w.size() == 8) done = SpeedCommand(w, outcome, &why);
      else why = "wrong arguments: " + name;
      m_figureNames.clear();
      return done;
    }
    if (name == "expect-record" && w.size() == 4) return ExpectRecord(w, &why);
    if ((name == "keep-rect" || name == "expect-rect") && w.size() == 2) {
      RunResult result = driver({"rect", w[1], std::to_string(kHangLimitMs)});
      if (result.status != 0) return false;
      const std::string rect = Trim(result.output);
      if (name == "keep-rect") {
        m_keptRects[w[1]] = rect;
        return true;
      }
      if (m_keptRects.count(w[1]) == 0) {
        why = "no rectangle of \"" + w[1] + "\" was kept";
        return false;
      }
      if (rect != m_keptRects[w[1]]) {
        why = "\"" + w[1] + "\" lies at " + rect + ", not at " + m_keptRects[w[1]] + " as before";
        return false;
      }
      return true;
    }
    if (name == "move" && w.size() == 6) return driver(w).status == 0;
    if (name == "expect-checked" && w.size() == 4) {
      RunResult result = driver({"checked", w[1], w[2]});
      if (result.status == 3) {
        // The menu of another process cannot be read under Wine: the check is left out.
        why.clear();
        std::printf("expect-checked %s: not checked here, Wine gives a driver no items of another process's menu\n",
                    w[2].c_str());
        std::fflush(stdout);
        return true;
      }
      if (result.status != 0) return false;
      if (Trim(result.output) != w[3]) {
        why = "menu item " + w[2] + (w[3] == "1" ? " is not checked" : " is checked");
        return false;
      }
      return true;
    }
    if ((name == "expect-file" || name == "expect-no-file") && w.size() == 2) {
      const bool exists = fs::exists(m_paths.scratch + "/work/" + w[1]);
      if (exists != (name == "expect-file")) {
        why = w[1] + (exists ? " is there" : " is not there");
        return false;
      }
      return true;
    }
    // expect-folder work|program NAME...: the working directory, or the program's
    // directory, holds exactly these entries.
    if (name == "expect-folder" && w.size() >= 2 && (w[1] == "work" || w[1] == "program")) {
      const std::string folder = w[1] == "work" ? m_paths.scratch + "/work" : m_programDir;
      std::vector<std::string> expected(w.begin() + 2, w.end());
      std::vector<std::string> found;
      std::error_code failed;
      for (const auto& entry : fs::directory_iterator(folder, failed)) found.push_back(entry.path().filename().string());
      std::sort(expected.begin(), expected.end());
      std::sort(found.begin(), found.end());
      if (found == expected) return true;
      why = folder + " holds:";
      for (const std::string& entry : found) why += " " + entry;
      if (found.empty()) why += " nothing";
      return false;
    }
    if (name == "numbered-file" && w.size() == 4) {
      std::ofstream out(m_paths.scratch + "/work/" + w[1]);
      const int count = ToInt(w[2], 0);
      for (int i = 1; i <= count; ++i) out << w[3] << ' ' << i << "\r\n";
      return static_cast<bool>(out);
    }
    if (name == "expect-file" && (w.size() == 3 || w.size() == 4)) {
      const int limit = HangLimit(w.size() == 4 ? ToInt(w[3], 0) : 0);
      const std::string path = m_paths.scratch + "/work/" + w[1];
      for (int waited = 0;; waited += 20) {
        if (Slurp(path).find(w[2]) != std::string::npos) return true;
        if (waited > limit) {
          why = w[1] + " does not hold \"" + w[2] + "\"; it holds:\n" + Slurp(path);
          return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    // Checked at once: a step waits first for what must come after the text would have.
    if (name == "expect-file-lacks" && w.size() >= 3) {
      const std::string file = Slurp(m_paths.scratch + "/work/" + w[1]);
      for (size_t i = 2; i < w.size(); ++i) {
        if (file.find(w[i]) != std::string::npos) {
          why = w[1] + " holds \"" + w[i] + "\":\n" + file;
          return false;
        }
      }
      return true;
    }
    if (name == "start") {
      PlaceProgram();
      std::vector<std::string> command{WineDesktop::WindowsPath(m_programCopy)};
      command.insert(command.end(), w.begin() + 1, w.end());
      m_program = m_desktop.Spawn(command, m_paths.scratch + "/work", m_paths.scratch + "/program.out");
      m_programDir = m_paths.scratch + "/work";
      return true;
    }
    if (name == "run-script") return RunScript(w, &why);
    // wait TITLE [MS] [without OTHER]: with "without", the wait fails when a window
    // OTHER shows before TITLE does.
    if (name == "wait" && (w.size() == 2 || w.size() == 3 || w.size() == 5)) {
      const int limit = HangLimit(w.size() >= 3 && w[2] != "without" ? ToInt(w[2], 0) : 0);
      std::vector<std::string> args{"wait", w[1], std::to_string(limit)};
      if (w.size() >= 4 && w[w.size() - 2] == "without") args.push_back(w.back());
      RunResult result = driver(args, limit + 30000);
      if (result.status != 0) return false;
      m_lastTitle = Trim(result.output);
      outcome->windowTitle = m_lastTitle;
      return true;
    }
    // watch-responsive TITLE, before the program starts: a watcher in the desktop sends
    // a message to the window the moment it shows. expect-responsive TITLE: the answer
    // came while the window still stood (its thread serves its messages). The watcher
    // is there first, so a short-lived window is caught however slow the machine.
    if (name == "watch-responsive" && w.size() == 2) {
      const std::string output = m_paths.scratch + "/watch-" + std::to_string(m_watchers.size()) + ".out";
      const pid_t watcher =
          m_desktop.Spawn({m_driver, "respond-watch", w[1], std::to_string(kHangLimitMs)}, m_paths.scratch, output);
      m_watchers[w[1]] = {watcher, output};
      return true;
    }
    if (name == "expect-responsive" && w.size() == 2) {
      const auto watcher = m_watchers.find(w[1]);
      if (watcher == m_watchers.end()) {
        why = "no watch-responsive " + w[1] + " before the program started";
        return false;
      }
      int status = -1;
      if (!m_desktop.WaitExit(watcher->second.first, kDriverRunLimitMs, &status)) {
        why = "the watcher of " + w[1] + " has not ended";
        return false;
      }
      const std::string said = Trim(Slurp(watcher->second.second));
      m_watchers.erase(watcher);
      if (status == 0) return true;
      why = said;
      return false;
    }
    // settle TITLE: the window's program has handled what came before and painted it.
    if (name == "settle" && w.size() == 2) return Settle(w[1], &why);
    if (name == "fence" && w.size() == 2) return Fence(w[1], &why);
    // gone TITLE [MS]: MS 0 checks that it is not there now.
    if (name == "gone" && (w.size() == 2 || w.size() == 3)) {
      const int limit = w.size() == 3 && w[2] == "0" ? 0 : HangLimit(w.size() == 3 ? ToInt(w[2], 0) : 0);
      return driver({"gone", w[1], std::to_string(limit)}).status == 0;
    }
    if ((name == "command" && w.size() == 3) || (name == "close" && w.size() == 2) ||
        ((name == "click" || name == "doubleclick") && (w.size() == 4 || w.size() == 5)) ||
        (name == "type" && w.size() == 3) ||
        (name == "settext" && w.size() == 4) || (name == "quit" && w.size() == 2)) {
      return driver(w).status == 0;
    }
    if (name == "answer" && (w.size() == 2 || w.size() == 3)) {
      RunResult result = driver({"answer", w[1]});
      if (result.status != 0) return false;
      if (w.size() == 3 && Trim(result.output) != w[2]) {
        why = "the message box says \"" + Trim(result.output) + "\", not \"" + w[2] + "\"";
        return false;
      }
      return true;
    }
    // A text or a list box's entries, read until they are what is expected: what the
    // program does with input still in its queue shows a little later.
    if ((name == "expect-text" && (w.size() == 3 || w.size() == 4)) || (name == "expect-list" && w.size() >= 3)) {
      std::vector<std::string> args;
      std::string expected;
      if (name == "expect-text") {
        args = {"gettext", w[1]};
        if (w.size() == 4) args.push_back(w[2]);
        expected = w.back();
      } else {
        args = {"listtext", w[1], w[2]};
        for (size_t i = 3; i < w.size(); ++i) expected += w[i] + "\n";
      }
      for (int waited = 0;; waited += 100) {
        // A control the program has yet to make is waited for as its text is.
        RunResult result = driver(args);
        const std::string actual = name == "expect-text" ? Trim(result.output) : result.output;
        if (result.status == 0 && actual == expected) return true;
        if (waited > kHangLimitMs) {
          if (result.status == 0) {
            why = name == "expect-text" ? "the text is \"" + actual + "\", not \"" + expected + "\""
                                        : "the list holds\n" + actual + "not\n" + expected;
          }
          return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    }
    if (name == "expect-menu" && w.size() >= 2) {
      RunResult result = driver({"menu", w[1]});
      if (result.status == 3) {
        *skipped = true;
        why = "Wine gives a driver no items of another process's menu bar (GetMenuItemCount answers 0)";
        return false;
      }
      if (result.status != 0) return false;
      std::string expected;
      for (size_t i = 2; i < w.size(); ++i) expected += w[i] + "\n";
      if (result.output != expected) {
        why = "the menu reads\n" + result.output + "not\n" + expected;
        return false;
      }
      return true;
    }
    if (name == "expect-help" && w.size() == 3) {
      // Data "*": any (a command whose data is a text).
      const std::string expected = "command=" + w[1] + " data=" + (w[2] == "*" ? "" : w[2] + " ");
      for (int waited = 0;; waited += 10) {
        const std::string log = Trim(Slurp(m_helpLog));
        const size_t last = log.rfind('\n');
        const std::string line = last == std::string::npos ? log : log.substr(last + 1);
        if (line.compare(0, expected.size(), expected) == 0) return true;
        if (waited > kHangLimitMs) {
          why = "the help stand-in's last request is \"" + line + "\"";
          return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    if (name == "capture" && (w.size() == 2 || w.size() == 3)) return Capture(w, outcome);
    if (name == "expect-only-colours" && w.size() >= 2) return ExpectOnlyColours(w, outcome, &why);
    if (name == "compare" && w.size() >= 2) return Compare(action, outcome, &why);
    if (name == "check" && w.size() == 2) {
      const std::string probe = m_paths.win32Build + "/tests/wine-gui/layer-probe.exe";
      RunResult result = m_desktop.Run({WineDesktop::WindowsPath(probe), "--check", w[1]}, kDriverRunLimitMs, m_paths.scratch);
      std::erase(result.output, '\r');
      if (result.status != 0 || Trim(result.output) != "ok " + w[1]) {
        why = "the check says: " + Trim(result.output) + (result.timedOut ? " (timed out)" : "");
        return false;
      }
      return true;
    }
    if (name == "exit-code" && (w.size() == 2 || w.size() == 3)) {
      int status = -1;
      if (m_program <= 0 || !m_desktop.WaitExit(m_program, HangLimit(w.size() == 3 ? ToInt(w[2], 0) : 0), &status)) {
        why = "the program has not ended";
        return false;
      }
      m_program = -1;
      if (status != ToInt(w[1], -2)) {
        why = "the program ended with " + std::to_string(status) + ": " + Slurp(m_paths.scratch + "/program.out");
        return false;
      }
      return true;
    }
    if (name == "skip") {
      *skipped = true;
      for (size_t i = 1; i < w.size(); ++i) why += (i > 1 ? " " : "") + w[i];
      return false;
    }
    why = "unknown action or wrong arguments: " + name;
    return false;
  }

  // The timed actions measure figures and print them; none fails on a figure, only on
  // a run that does not come to its end (the hang limit). The targets the figures aim
  // at are the GUI benchmarks' (scripts/bench --gui), not the scenarios'. Each action
  // takes its figure's name from the `figure` action before it.
  //
  // speed-repaint RUNS TITLE KEYS [fence LOG]: the keys typed into the window
  // RUNS times, each timed to the last of the program's windows repainted; with a
  // fence, each run after the first begins once the command loop is back at its
  // input (see Fence): keys the program takes while it is still busy are dropped.
  bool SpeedRepaint(const std::vector<std::string>& w, StepOutcome* outcome, std::string* why) {
    const int runs = ToInt(w[1], 5);
    Figure figure = NewFigure(0, w[3] + " to every window repainted", "ms");
    for (int run = 0; run < runs; ++run) {
      RunResult timed = m_desktop.Run({m_driver, "time-repaint", w[2], w[3], std::to_string(kHangLimitMs)},
                                      kTimedRunLimitMs);
      if (timed.status != 0) {
        *why = "run " + std::to_string(run + 1) + ": " + Trim(timed.output);
        return false;
      }
      figure.samples.push_back(std::atof(timed.output.c_str()));
      if (w.size() == 6 && !Fence(w[5], why)) return false;
      if (!Settle(w[2], why)) return false;
    }
    Report(figure, outcome);
    return true;
  }

  // speed RUNS VIEW_COMMAND VIEW_TITLE FRAME_TITLE [ARGS...]: the program started RUNS
  // times from inside the desktop; each run times the start to its visible frame, a
  // posted View command to its window and the Exit command to the end of the process
  // (answering the end-of-session question); `figure` names the three figures.
  bool Speed(const std::vector<std::string>& w, StepOutcome* outcome, std::string* why) {
    const int runs = ToInt(w[1], 5);
    const std::string& viewCommand = w[2];
    const std::string& viewTitle = w[3];
    const std::string& frameTitle = w[4];
    Figure figures[3] = {NewFigure(0, "start to the visible frame", "ms"),
                         NewFigure(1, "View command " + viewCommand + " to \"" + viewTitle + "\"", "ms"),
                         NewFigure(2, "Exit to the end of the process", "ms")};
    PlaceProgram();
    for (int run = 0; run < runs; ++run) {
      const std::string where = "run " + std::to_string(run + 1) + ": ";
      std::vector<std::string> launch{m_driver, "launch", frameTitle, std::to_string(kHangLimitMs),
                                      WineDesktop::WindowsPath(m_programCopy)};
      launch.insert(launch.end(), w.begin() + 5, w.end());
      RunResult started = m_desktop.Run(launch, kDriverRunLimitMs, m_paths.scratch + "/work");
      if (started.status != 0) {
        *why = where + Trim(started.output);
        return false;
      }
      figures[0].samples.push_back(std::atof(started.output.c_str()));
      RunResult viewed = m_desktop.Run({m_driver, "time-command", frameTitle, viewCommand, viewTitle,
                                        std::to_string(kHangLimitMs)}, kDriverRunLimitMs);
      if (viewed.status != 0) {
        *why = where + Trim(viewed.output);
        return false;
      }
      figures[1].samples.push_back(std::atof(viewed.output.c_str()));
      RunResult ended = m_desktop.Run({m_driver, "time-exit", frameTitle, "1050", std::to_string(kHangLimitMs)},
                                      kDriverRunLimitMs);
      int64_t ms = 0;
      int status = -1;
      std::istringstream(ended.output) >> ms >> status;
      if (ended.status != 0 || status != 0) {
        *why = where + "the exit: " + Trim(ended.output);
        return false;
      }
      figures[2].samples.push_back(static_cast<double>(ms));
    }
    for (const Figure& figure : figures) Report(figure, outcome);
    return true;
  }

  // A timed run counts only once its work shows done: each action below checks the
  // work of every run after its time is taken and fails (on what the program did,
  // never on the time) when it is not done. A program that skipped the work would
  // otherwise give the best figure of all.
  //
  // rate RUNS COUNT TITLE TEXT KEYS LAST: RUNS times the program is given TEXT (not
  // timed), then KEYS, and the time from the keys to the help stand-in's next request
  // (the work TEXT started ends by asking for help) gives COUNT lines per second. The
  // run's work is done when the window shows LAST (its last line) on the screen. In
  // TEXT and LAST, {run} is the run's number, so that a run never counts what an
  // earlier one printed.
  bool Rate(const std::vector<std::string>& w, StepOutcome* outcome, std::string* why) {
    const int runs = ToInt(w[1], 5);
    const double count = ToInt(w[2], 0);
    Figure figure = NewFigure(0, "output lines", "lines/s");
    figure.higherIsBetter = true;
    for (int run = 1; run <= runs; ++run) {
      const std::string where = "run " + std::to_string(run) + ": ";
      const std::string text = ReplaceAll(w[4], "{run}", std::to_string(run));
      const std::string last = ReplaceAll(w[6], "{run}", std::to_string(run));
      RunResult typed = m_desktop.Run({m_driver, "type", w[3], text}, kDriverRunLimitMs);
      if (typed.status != 0) {
        *why = where + Trim(typed.output);
        return false;
      }
      RunResult timed = m_desktop.Run({m_driver, "time-type", w[3], w[5], WineDesktop::WindowsPath(m_helpLog),
                                       std::to_string(kHangLimitMs)}, kTimedRunLimitMs);
      if (timed.status != 0) {
        *why = where + Trim(timed.output);
        return false;
      }
      if (!Shows(w[3], last, kHangLimitMs, why)) {
        *why = where + "the work timed is not done: " + *why;
        return false;
      }
      figure.samples.push_back(count * 1000.0 / std::max(std::atof(timed.output.c_str()), 1.0));
    }
    Report(figure, outcome);
    return true;
  }

  // time-keys RUNS TITLE SETUP KEYS UNTIL AFTER LINES [END]: RUNS times SETUP is typed
  // (not timed), then KEYS, timed until UNTIL ("#CLASS": a window of the class shows;
  // "help": the help stand-in's next request), then AFTER. The keys scroll a window
  // over a text whose lines end in their numbers (`numbered-file`): the run's work is
  // done when the window's top line, read from the screen before the keys and after
  // AFTER, has moved LINES lines on, or less where the window shows END (the text's
  // last line: it can go no further).
  bool TimeKeys(const std::vector<std::string>& w, StepOutcome* outcome, std::string* why) {
    const int runs = ToInt(w[1], 5);
    const std::string until = w[5] == "help" ? WineDesktop::WindowsPath(m_helpLog) : w[5];
    const long lines = ToInt(w[7], -1);
    Figure figure = NewFigure(0, w[4] + " until " + w[5], "ms");
    for (int run = 1; run <= runs; ++run) {
      const std::string where = "run " + std::to_string(run) + ": ";
      if (!w[3].empty()) {
        RunResult typed = m_desktop.Run({m_driver, "type", w[2], w[3]}, kDriverRunLimitMs);
        if (typed.status != 0) {
          *why = where + Trim(typed.output);
          return false;
        }
      }
      long before = 0;
      if (!Settle(w[2], why) || !TopLineNumber(w[2], &before, why)) {
        *why = where + *why;
        return false;
      }
      RunResult timed =
          m_desktop.Run({m_driver, "time-type", w[2], w[4], until, std::to_string(kHangLimitMs)}, kTimedRunLimitMs);
      if (timed.status != 0) {
        *why = where + Trim(timed.output);
        return false;
      }
      if (!w[6].empty() && m_desktop.Run({m_driver, "type", w[2], w[6]}, kDriverRunLimitMs).status != 0) {
        *why = where + "cannot type " + w[6];
        return false;
      }
      long after = 0;
      if (!Settle(w[2], why) || !TopLineNumber(w[2], &after, why)) {
        *why = where + *why;
        return false;
      }
      const bool atEnd = w.size() == 9 && after >= before && after - before < lines &&
                         Shows(w[2], w[8], 0, why);
      if (after - before != lines && !atEnd) {
        *why = where + "the work timed is not done: the top line of \"" + w[2] + "\" moved from " +
               std::to_string(before) + " to " + std::to_string(after) + ", not " + std::to_string(lines) +
               " lines on" + (w.size() == 9 ? " (nor does it show the end of the text)" : "");
        return false;
      }
      figure.samples.push_back(std::atof(timed.output.c_str()));
    }
    Report(figure, outcome);
    return true;
  }

  // The number that ends the window's top line of text (a `numbered-file` line's own).
  bool TopLineNumber(const std::string& title, long* number, std::string* why) {
    std::vector<std::string> lines;
    if (!ReadLines(title, &lines, why)) return false;
    if (lines.empty()) {
      *why = "\"" + title + "\" shows no text";
      return false;
    }
    const std::string& top = lines.front();
    const size_t end = top.find_last_of("0123456789");
    if (end == std::string::npos) {
      *why = "the top line of \"" + title + "\" holds no number: " + top;
      return false;
    }
    const size_t begin = top.find_last_not_of("0123456789", end);
    *number = std::strtol(top.c_str() + (begin == std::string::npos ? 0 : begin + 1), nullptr, 10);
    return true;
  }

  // speed-command RUNS TITLE ID WINDOW LIST ENTRIES ENTRY: RUNS times a command posted
  // to the window TITLE until the window WINDOW of the program shows with ENTRIES
  // entries in its list box LIST (its work), closing WINDOW after each. The run's work
  // is done when the list holds ENTRIES entries and, for each n from 0 to ENTRIES - 1,
  // one with ENTRY in which {n} is n (every breakpoint by its name, say).
  bool SpeedCommand(const std::vector<std::string>& w, StepOutcome* outcome, std::string* why) {
    const int runs = ToInt(w[1], 5);
    const int entries = ToInt(w[6], -1);
    Figure figure = NewFigure(0, "command " + w[3] + " to \"" + w[4] + "\"", "ms");
    for (int run = 1; run <= runs; ++run) {
      const std::string where = "run " + std::to_string(run) + ": ";
      RunResult opened = m_desktop.Run(
          {m_driver, "time-command", w[2], w[3], w[4], std::to_string(kHangLimitMs), w[5], w[6]}, kDriverRunLimitMs);
      if (opened.status != 0) {
        *why = where + "the work timed is not done: " + Trim(opened.output);
        return false;
      }
      RunResult listed = Driver({"listtext", w[4], w[5]}, why);
      if (listed.status != 0) {
        *why = where + *why;
        return false;
      }
      std::vector<std::string> list;
      std::istringstream in(listed.output);
      for (std::string entry; std::getline(in, entry);) list.push_back(entry);
      std::string missing;
      for (int n = 0; n < entries; ++n) {
        const std::string entry = ReplaceAll(w[7], "{n}", std::to_string(n));
        if (std::none_of(list.begin(), list.end(), [&](const std::string& e) { return e.find(entry) != std::string::npos; })) {
          missing += (missing.empty() ? "" : ", ") + entry;
        }
      }
      if (static_cast<int>(list.size()) != entries || !missing.empty()) {
        *why = where + "the work timed is not done: \"" + w[4] + "\" lists " + std::to_string(list.size()) +
               " entries, not " + w[6] + (missing.empty() ? "" : "; none holds " + missing) + ":\n" + listed.output;
        return false;
      }
      figure.samples.push_back(std::atof(opened.output.c_str()));
      RunResult closed = m_desktop.Run({m_driver, "close", w[4]}, kDriverRunLimitMs);
      RunResult gone = m_desktop.Run({m_driver, "gone", w[4], std::to_string(kHangLimitMs)}, kDriverRunLimitMs);
      if (closed.status != 0 || gone.status != 0) {
        *why = where + "\"" + w[4] + "\" does not close";
        return false;
      }
    }
    Report(figure, outcome);
    return true;
  }

  // speed-agent RUNS TITLE COMMAND TEXT [BETWEEN]: RUNS times the command is
  // posted to the window and timed until the agent's trace holds one more request
  // with TEXT (timed inside the desktop); BETWEEN is posted after each run (to stop
  // what the command started), and the next run begins once the frame's Go button is
  // enabled again (the target has stopped).
  bool SpeedAgent(const std::vector<std::string>& w, StepOutcome* outcome, std::string* why) {
    const int runs = ToInt(w[1], 5);
    Figure figure = NewFigure(0, "command " + w[3] + " to \"" + w[4] + "\" at the agent", "ms");
    for (int run = 0; run < runs; ++run) {
      const std::string where = "run " + std::to_string(run + 1) + ": ";
      RunResult timed = m_desktop.Run({m_driver, "time-agent", w[2], w[3], WineDesktop::WindowsPath(m_agent.TraceFile()),
                                       w[4], std::to_string(kHangLimitMs)},
                                      kDriverRunLimitMs);
      if (timed.status != 0) {
        *why = where + Trim(timed.output);
        return false;
      }
      figure.samples.push_back(std::atof(timed.output.c_str()));
      if (w.size() == 6) {
        if (m_desktop.Run({m_driver, "command", w[2], w[5]}, kDriverRunLimitMs).status != 0) {
          *why = where + "cannot post command " + w[5];
          return false;
        }
        if (!WaitEnabled(w[2], kGoButton, true, kHangLimitMs, why)) return false;
      }
    }
    Report(figure, outcome);
    return true;
  }

  // A figure of the action at hand: the name the scenario gave it with `figure` (its
  // slot-th name), else the action's own.
  Figure NewFigure(size_t slot, const std::string& ownName, const std::string& unit) const {
    Figure figure;
    figure.name = slot < m_figureNames.size() ? m_figureNames[slot] : ownName;
    figure.unit = unit;
    return figure;
  }

  void Report(const Figure& figure, StepOutcome* outcome) {
    std::string all;
    for (double sample : figure.samples) all += (all.empty() ? "" : ", ") + FormatFigureValue(sample);
    std::printf("figure: %s: %s %s (median of %zu: %s)\n", figure.name.c_str(),
                FormatFigureValue(figure.Median()).c_str(), figure.unit.c_str(), figure.samples.size(), all.c_str());
    std::fflush(stdout);
    outcome->figures.push_back(figure);
  }

  // Whether the window's thread answers a message sent to it now: then it has handled
  // what came before it (the program has one thread for its windows).
  bool Responds(const std::string& title, std::string* why) {
    return Driver({"responds", title, std::to_string(kHangLimitMs)}, why).status == 0;
  }

  // The command loop is back at its input, done with everything before: a command
  // typed now into the frame has been read, its echo is in the log. What the program
  // does while it is busy (a step, the windows' reads that follow it) drops the keys
  // with a meaning (function and cursor keys) and the clicks that come for its windows
  // meanwhile; after a fence the next one finds it waiting for input. The command
  // prints nothing: "fence = N" sets a debug variable the first fence defines.
  bool Fence(const std::string& log, std::string* why) {
    const std::string command = "fence = " + std::to_string(++m_fences);
    const std::string keys = (m_fences == 1 ? "define int4 fence = 0{enter}" : "") + command + "{enter}";
    if (Driver({"type", kFrameTitle, keys}, why).status != 0) return false;
    const std::string path = m_paths.scratch + "/work/" + log;
    for (int waited = 0;; waited += 20) {
      const std::string text = Slurp(path);
      for (size_t at = text.find(">" + command); at != std::string::npos; at = text.find(">" + command, at + 1)) {
        const size_t end = at + 1 + command.size();
        if (end == text.size() || text[end] == '\r' || text[end] == '\n') return true;
      }
      if (waited > kHangLimitMs) {
        *why = log + " does not hold the command \"" + command + "\"";
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  // Waits until a line of text the window's client area shows holds the text; else
  // says what it shows.
  bool Shows(const std::string& title, const std::string& text, int limit, std::string* why) {
    return Driver({"shows", title, text, std::to_string(limit)}, why, limit + kDriverRunLimitMs).status == 0;
  }

  // The lines of text the window's client area shows, from the top.
  bool ReadLines(const std::string& title, std::vector<std::string>* lines, std::string* why) {
    RunResult result = Driver({"read", title}, why);
    if (result.status != 0) return false;
    lines->clear();
    std::istringstream in(result.output);
    for (std::string line; std::getline(in, line);) {
      // "Y X TEXT"
      const size_t text = line.find(' ', line.find(' ') + 1);
      if (text != std::string::npos) lines->push_back(line.substr(text + 1));
    }
    return true;
  }

  // Waits until the window's program has handled what came before and painted it.
  bool Settle(const std::string& title, std::string* why) {
    return Driver({"settle", title, std::to_string(kHangLimitMs)}, why).status == 0;
  }

  // Waits until the control of the window is enabled (or disabled).
  bool WaitEnabled(const std::string& title, int id, bool enabled, int limit, std::string* why) {
    const std::string wanted = enabled ? "1" : "0";
    for (int waited = 0;; waited += 100) {
      RunResult result = Driver({"enabled", title, std::to_string(id)}, why);
      if (result.status != 0) return false;
      if (Trim(result.output) == wanted) return true;
      if (waited > limit) {
        *why = "control " + std::to_string(id) + " is " + (enabled ? "disabled" : "enabled");
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }

  // run-script [ARGS...]: `scripts/run --gui ARGS` from the program's scratch
  // directory (the caller's directory of the run), with the programs as the trees have
  // them (nothing built), the scenario's own lasting folder in place of the user's
  // build/run and this desktop's prefix, so that the driver sees its windows. The
  // program then lives in that folder's gui/, its store beside it; `exit-code` waits
  // for the script's end.
  bool RunScript(const std::vector<std::string>& w, std::string* why) {
    std::error_code failed;
    const bool sameTrees = fs::equivalent(m_paths.win32Build, m_paths.sourceDir + "/build/win32", failed) &&
                           fs::equivalent(m_paths.nativeBuild, m_paths.sourceDir + "/build/native", failed);
    if (!sameTrees) {
      *why = "scripts/run starts the programs of build/native and build/win32, not those of " + m_paths.win32Build +
             " and " + m_paths.nativeBuild;
      return false;
    }
    const std::string lasting = m_paths.scratch + "/run";
    std::vector<std::string> command{m_paths.sourceDir + "/scripts/run", "--gui"};
    command.insert(command.end(), w.begin() + 1, w.end());
    m_program = m_desktop.SpawnUnix(command, m_paths.scratch + "/work", m_paths.scratch + "/program.out",
                                    {"ZENTOR_RUN_DIR=" + lasting, "ZENTOR_RUN_WINEPREFIX=" + m_desktop.Prefix(),
                                     "ZENTOR_RUN_PREBUILT=1"});
    m_programDir = lasting + "/gui";
    return true;
  }

  // expect-record ID NAME LENGTH: the program's settings store (zentor.ddb beside it,
  // read from a copy) holds a record of the id and name whose data is LENGTH bytes.
  bool ExpectRecord(const std::vector<std::string>& w, std::string* why) {
    const std::string copy = m_paths.scratch + "/record-check.ddb";
    std::error_code failed;
    if (!fs::copy_file(m_programDir + "/zentor.ddb", copy, fs::copy_options::overwrite_existing, failed)) {
      *why = "no settings store in " + m_programDir;
      return false;
    }
    const std::string file = Slurp(copy);
    const auto records = StoreRecordLengths(file, static_cast<uint32_t>(ToInt(w[1], -1)), w[2]);
    if (records.empty()) {
      *why = "no record " + w[1] + " \"" + w[2] + "\" in the store";
      return false;
    }
    if (records.back() != static_cast<uint32_t>(ToInt(w[3], -1))) {
      *why = "the record holds " + std::to_string(records.back()) + " bytes, not " + w[3];
      return false;
    }
    return true;
  }

  // expect-only-colours RGB...: every pixel of the last capture is one of the colours
  // (six hex digits each); the first that is not is named with its place. A picture
  // that does not hold is captured again every 100 ms until it does or the hang limit
  // has passed (a window the program has yet to paint on a loaded machine).
  bool ExpectOnlyColours(const std::vector<std::string>& w, StepOutcome* outcome, std::string* why) {
    if (!m_stepCaptured) {
      *why = "nothing captured in this step to check";
      return false;
    }
    std::vector<uint32_t> allowed;
    for (size_t i = 1; i < w.size(); ++i) allowed.push_back(static_cast<uint32_t>(std::strtoul(w[i].c_str(), nullptr, 16)));
    const auto start = std::chrono::steady_clock::now();
    while (!OnlyColours(m_lastCapture, allowed, why)) {
      if (std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(kHangLimitMs)) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const std::vector<std::string> words = m_lastCaptureWords;
      if (!Capture(words, outcome)) return false;
    }
    return true;
  }
  static bool OnlyColours(const RgbImage& image, const std::vector<uint32_t>& allowed, std::string* why) {
    for (int32_t y = 0; y < image.height; ++y) {
      for (int32_t x = 0; x < image.width; ++x) {
        const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 3];
        const uint32_t colour = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        if (std::find(allowed.begin(), allowed.end(), colour) != allowed.end()) continue;
        char text[80];
        std::snprintf(text, sizeof text, "the pixel at %d,%d is %06X", x, y, colour);
        *why = text;
        return false;
      }
    }
    return true;
  }

  // The step's picture: its last capture, else the window it last waited for.
  bool Shot(const std::string& path, StepOutcome* outcome) {
    if (!m_stepCaptured) {
      if (m_lastTitle.empty()) return true;
      if (!Capture({"capture", m_lastTitle}, outcome)) return false;
    }
    std::string error;
    if (!WritePng(path, m_lastCapture, &error)) {
      outcome->message = error;
      return false;
    }
    outcome->shot = path;
    return true;
  }

  // What a failed step left: the program's windows listed, and its frame's picture
  // kept in the scratch directory (failure.png).
  void KeepFailurePicture() {
    RunResult listing = m_desktop.Run({m_driver, "windows", kFrameTitle}, kDriverRunLimitMs);
    if (listing.status == 0) std::printf("the program's windows when the step failed:\n%s", listing.output.c_str());
    StepOutcome picture;
    if (!Capture({"capture", kFrameTitle}, &picture)) return;
    std::string error;
    WritePng(m_paths.scratch + "/failure.png", m_lastCapture, &error);
  }

  void BeginStep() {
    m_stepCaptured = false;
    m_stepFirstRequest = m_agent.Running() ? m_agent.Requests().size() : 0;
    m_agentSeen = m_stepFirstRequest;
  }

 private:
  // Runs the driver in the desktop with ARGS (its action first); a failed run says why.
  RunResult Driver(std::vector<std::string> args, std::string* why, int timeoutMs = kDriverRunLimitMs) {
    args.insert(args.begin(), m_driver);
    RunResult result = m_desktop.Run(args, timeoutMs);
    std::erase(result.output, '\r');
    if (result.status != 0) *why = "zentor-driver " + args[1] + ": " + Trim(result.output);
    return result;
  }

  // The program goes into the scratch directory when a step first starts it there (a
  // scenario that starts it through scripts/run has none of its own there).
  void PlaceProgram() {
    if (!fs::exists(m_programCopy)) fs::copy_file(m_programBuilt, m_programCopy);
  }

  bool Capture(const std::vector<std::string>& w, StepOutcome* outcome) {
    m_lastCaptureWords = w;
    const std::string bmp = m_paths.scratch + "/capture-" + std::to_string(++m_captures) + ".bmp";
    std::vector<std::string> args{m_driver, "capture", w[1]};
    if (w.size() == 3) args.push_back(w[2]);
    args.push_back(WineDesktop::WindowsPath(bmp));
    RunResult result = m_desktop.Run(args, kDriverRunLimitMs);
    if (result.status != 0) {
      outcome->message = "zentor-driver capture: " + Trim(result.output);
      return false;
    }
    if (!ReadBmp(bmp, &m_lastCapture, &outcome->message)) return false;
    m_lastTitle = Trim(result.output);
    outcome->windowTitle = m_lastTitle;
    m_stepCaptured = true;
    return true;
  }

  // compare NAME [mask TOP LEFT BOTTOM RIGHT]... [tolerance N]: a picture that differs
  // is taken again, every 100 ms, until it matches or the hang limit has passed (what
  // the program draws after input it has yet to take from a loaded machine's queue).
  bool Compare(const Action& action, StepOutcome* outcome, std::string* why) {
    const std::vector<std::string>& w = action.words;
    if (!m_stepCaptured) {
      *why = "nothing captured in this step to compare";
      return false;
    }
    std::vector<MaskRect> masks;
    int32_t tolerance = 8;
    for (size_t i = 2; i < w.size();) {
      if (w[i] == "mask" && i + 4 < w.size()) {
        masks.push_back(MaskRect{ToInt(w[i + 1], 0), ToInt(w[i + 2], 0), ToInt(w[i + 3], 0), ToInt(w[i + 4], 0)});
        i += 5;
      } else if (w[i] == "tolerance" && i + 1 < w.size()) {
        tolerance = ToInt(w[i + 1], 8);
        i += 2;
      } else {
        *why = "compare: unknown option " + w[i];
        return false;
      }
    }
    const std::string baseline = m_paths.scenarioDir + "/baselines/" + w[1] + ".png";
    const char* update = std::getenv("ZENTOR_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
      fs::create_directories(m_paths.scenarioDir + "/baselines");
      return WritePng(baseline, m_lastCapture, why);
    }
    RgbImage expected;
    if (!ReadPng(baseline, &expected, why)) {
      *why += " (ZENTOR_UPDATE_GOLDEN=1 writes it)";
      return false;
    }
    const auto start = std::chrono::steady_clock::now();
    int64_t different = CountDifferentPixels(m_lastCapture, expected, masks, tolerance);
    while (different != 0 && std::chrono::steady_clock::now() - start < std::chrono::milliseconds(kHangLimitMs)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const std::vector<std::string> words = m_lastCaptureWords;
      if (!Capture(words, outcome)) return false;
      different = CountDifferentPixels(m_lastCapture, expected, masks, tolerance);
    }
    if (different == 0) return true;
    const std::string actual = m_paths.scratch + "/" + w[1] + ".actual.png";
    std::string error;
    WritePng(actual, m_lastCapture, &error);
    *why = std::to_string(different) + " pixels differ from " + baseline + " (" + std::to_string(m_lastCapture.width) +
           "x" + std::to_string(m_lastCapture.height) + " against " + std::to_string(expected.width) + "x" +
           std::to_string(expected.height) + "); the capture is " + actual;
    return false;
  }

  const Scenario& m_scenario;
  const HarnessPaths& m_paths;
  static constexpr int kScreenWidth = 1280;
  static constexpr int kScreenHeight = 1024;

  WineDesktop m_desktop;
  StandInAgent m_agent;
  std::string m_driver;
  std::string m_programBuilt;
  std::string m_programCopy;
  std::string m_programDir;  // where the program last started lives, its store beside it
  std::string m_helpLog;
  pid_t m_program = -1;
  std::string m_lastTitle;
  RgbImage m_lastCapture;
  std::vector<std::string> m_lastCaptureWords;
  bool m_stepCaptured = false;
  size_t m_stepFirstRequest = 0;
  size_t m_agentSeen = 0;
  int m_captures = 0;
  std::map<std::string, std::string> m_keptRects;  // by window title
  std::vector<std::string> m_figureNames;          // for the next timed action
  std::map<std::string, std::pair<pid_t, std::string>> m_watchers;  // by window: pid, output
  int m_fences = 0;
};

}  // namespace

std::string FormatFigureValue(double value) {
  char text[32];
  std::snprintf(text, sizeof text, value >= 100 || value == std::floor(value) ? "%.0f" : "%.1f", value);
  return text;
}

double Figure::Median() const {
  std::vector<double> sorted = samples;
  std::sort(sorted.begin(), sorted.end());
  return sorted.empty() ? 0 : sorted[sorted.size() / 2];
}

bool MeasuresFigures(const Scenario& scenario) {
  for (const Step& step : scenario.steps) {
    for (const Action& action : step.actions) {
      if (IsTimedAction(action.words[0])) return true;
    }
  }
  return false;
}

bool ReadScenario(const std::string& path, Scenario* scenario, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = path + ": cannot read";
    return false;
  }
  scenario->name = fs::path(path).stem().string();
  std::string line;
  for (int32_t number = 1; std::getline(in, line); ++number) {
    std::vector<std::string> words;
    if (!SplitWords(line, &words, error)) {
      *error = path + ":" + std::to_string(number) + ": " + *error;
      return false;
    }
    if (words.empty()) continue;
    if (words[0] == "program" && words.size() == 2) {
      scenario->program = words[1];
    } else if (words[0] == "step" && words.size() == 2) {
      scenario->steps.push_back(Step{words[1], {}});
    } else if (scenario->steps.empty()) {
      *error = path + ":" + std::to_string(number) + ": an action before the first step";
      return false;
    } else {
      scenario->steps.back().actions.push_back(Action{number, words});
    }
  }
  if (scenario->program.empty()) {
    *error = path + ": no program line";
    return false;
  }
  return true;
}

std::vector<StepOutcome> RunScenario(const Scenario& scenario, const HarnessPaths& paths, const std::string& shotDir) {
  std::vector<StepOutcome> outcomes;
  auto run = std::make_unique<ScenarioRun>(scenario, paths);
  std::string error;
  if (!run->Begin(&error)) {
    StepOutcome failure;
    failure.name = "start";
    failure.message = error;
    outcomes.push_back(failure);
    return outcomes;
  }
  int number = 0;
  for (const Step& step : scenario.steps) {
    StepOutcome outcome;
    outcome.name = step.name;
    outcome.ok = true;
    run->BeginStep();
    for (const Action& action : step.actions) {
      bool skipped = false;
      if (!run->Do(action, &outcome, &skipped)) {
        outcome.ok = false;
        outcome.skipped = skipped;
        if (!skipped) outcome.message = "line " + std::to_string(action.line) + ": " + outcome.message;
        break;
      }
    }
    ++number;
    if (!shotDir.empty() && !outcome.skipped) {
      char prefix[8];
      std::snprintf(prefix, sizeof prefix, "%02d-", number);
      StepOutcome shot = outcome;
      if (!run->Shot(shotDir + "/" + prefix + step.name + ".png", &shot) && outcome.ok) {
        outcome.ok = false;
        outcome.message = shot.message;
      }
      outcome.shot = shot.shot;
      outcome.windowTitle = shot.windowTitle;
    }
    if (!outcome.ok && !outcome.skipped) run->KeepFailurePicture();
    outcomes.push_back(outcome);
    if (!outcome.ok) break;
  }
  return outcomes;
}

}  // namespace zentor::wine_gui
