#pragma once
// One Wine desktop for one scenario: an Xvfb of 1280x1024x24 on a free display, a
// copy of the harness's pinned prefix (the system files linked, the registry and the
// user's folders copied) with its own persistent wineserver, and the Windows
// programs run in it. Everything it started ends with it.

#include <sys/types.h>

#include <string>
#include <vector>

namespace zentor::wine_gui {

struct RunResult {
  int status = -1;  // the exit status; -1 when killed or not started
  std::string output;
  bool timedOut = false;
};

class WineDesktop {
 public:
  WineDesktop() = default;
  WineDesktop(const WineDesktop&) = delete;
  WineDesktop& operator=(const WineDesktop&) = delete;
  ~WineDesktop();

  // Makes the pinned prefix when it is missing (tests/wine-gui/make-prefix), copies it
  // under `scratch`, starts Xvfb and the wineserver.
  bool Start(const std::string& makePrefixScript, const std::string& pinnedPrefix, const std::string& scratch,
             std::string* error);
  // `wine program args...` to its end (killed after the time limit); stdout and
  // stderr together.
  RunResult Run(const std::vector<std::string>& command, int timeoutMs, const std::string& workingDirectory = "");
  // `wine program args...` in the background, its output into a file; the pid.
  pid_t Spawn(const std::vector<std::string>& command, const std::string& workingDirectory,
              const std::string& outputFile);
  // A Unix program in the background, in the desktop's environment (its display and
  // prefix) with `extra` added (NAME=VALUE each), its output into a file; the pid. It
  // and whatever it starts end with the desktop.
  pid_t SpawnUnix(const std::vector<std::string>& command, const std::string& workingDirectory,
                  const std::string& outputFile, const std::vector<std::string>& extra);
  // Waits for a spawned program; false when it has not ended in time.
  bool WaitExit(pid_t pid, int timeoutMs, int* status);

  // A Unix path as Windows programs in the prefix name it (drive Z:).
  static std::string WindowsPath(const std::string& unixPath);
  // The desktop's copy of the prefix, whose server runs while the desktop lives.
  const std::string& Prefix() const { return m_prefix; }

 private:
  std::vector<std::string> Environment() const;
  pid_t SpawnInto(const std::vector<std::string>& command, const std::string& workingDirectory,
                  const std::string& outputFile, bool throughWine, const std::vector<std::string>& extra);
  pid_t Launch(const std::vector<std::string>& command, const std::string& workingDirectory, int outputFd,
               bool throughWine = true, const std::vector<std::string>& extra = {});

  std::string m_prefix;
  int m_display = -1;
  pid_t m_xvfb = -1;
  std::vector<pid_t> m_spawned;
};

}  // namespace zentor::wine_gui
