#include "wine_desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace zentor::wine_gui {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string WineDesktop::WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::vector<std::string> WineDesktop::Environment() const {
  static const char* const kOwn[] = {"DISPLAY=", "WINEPREFIX=", "WINEARCH=", "WINEDEBUG=", "WINEDLLOVERRIDES=",
                                     "WINESERVER=", "WAYLAND_DISPLAY=", "ZENTOR_GUI_TEST_COMMANDS="};
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    bool own = false;
    for (const char* name : kOwn) own = own || std::strncmp(*entry, name, std::strlen(name)) == 0;
    if (!own) environment.emplace_back(*entry);
  }
  environment.push_back("DISPLAY=:" + std::to_string(m_display));
  environment.push_back("WINEPREFIX=" + m_prefix);
  environment.push_back("WINEARCH=win32");
  environment.push_back("WINEDEBUG=-all");
  environment.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
  // The debugger takes the test build's commands (an error raised in a window procedure).
  environment.push_back("ZENTOR_GUI_TEST_COMMANDS=1");
  return environment;
}

// 1. The pinned prefix is made once (its script locks against a second maker).
// 2. The copy links the large, never-written system folder and copies what Wine
//    writes: the registry files and the user's folders.
// 3. Xvfb picks a free display itself and says which (-displayfd).
// 4. The persistent wineserver is started before any program, so that programs start
//    fast and the desktop outlives each of them.
bool WineDesktop::Start(const std::string& makePrefixScript, const std::string& pinnedPrefix,
                        const std::string& scratch, std::string* error) {
  if (Shell(Quote(makePrefixScript) + " " + Quote(pinnedPrefix)) != 0) {
    *error = "cannot make the pinned Wine prefix " + pinnedPrefix;
    return false;
  }
  m_prefix = scratch + "/prefix";
  const std::string copy = "cp -al " + Quote(pinnedPrefix) + " " + Quote(m_prefix) + " && cd " + Quote(m_prefix) +
                           " && rm -f *.reg && rm -rf drive_c/users && cp -a " + Quote(pinnedPrefix) + "/*.reg . && cp -a " +
                           Quote(pinnedPrefix + "/drive_c/users") + " drive_c/users";
  if (Shell(copy) != 0) {
    *error = "cannot copy the Wine prefix into " + m_prefix;
    return false;
  }
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    *error = "no pipe for Xvfb";
    return false;
  }
  m_xvfb = fork();
  if (m_xvfb == 0) {
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    close(pipeFds[0]);
    const std::string fd = std::to_string(pipeFds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  std::string number;
  pollfd wait{pipeFds[0], POLLIN, 0};
  const int64_t deadline = NowMs() + 10000;
  while (NowMs() < deadline && number.find('\n') == std::string::npos) {
    if (poll(&wait, 1, 100) > 0) {
      char buffer[16];
      const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
      if (got <= 0) break;
      number.append(buffer, static_cast<size_t>(got));
    }
  }
  close(pipeFds[0]);
  if (number.empty()) {
    *error = "Xvfb did not start";
    return false;
  }
  m_display = std::atoi(number.c_str());
  // The server keeps running with whatever it was given as output: never a pipe.
  int status = -1;
  const pid_t server = Spawn({"wineserver", "-p"}, "", "/dev/null");
  if (!WaitExit(server, 10000, &status) || status != 0) {
    *error = "the wineserver did not start";
    return false;
  }
  return true;
}

WineDesktop::~WineDesktop() {
  if (!m_prefix.empty() && m_display >= 0) {
    int status = 0;
    const pid_t stop = Spawn({"wineserver", "-k"}, "", "/dev/null");
    if (!WaitExit(stop, 10000, &status)) kill(stop, SIGKILL);
  }
  for (pid_t pid : m_spawned) {
    int status = 0;
    if (!WaitExit(pid, 2000, &status)) {
      // Each runs in a process group of its own: what a script started goes with it.
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
  }
  if (m_xvfb > 0) {
    kill(m_xvfb, SIGTERM);
    int status = 0;
    waitpid(m_xvfb, &status, 0);
  }
  if (!m_prefix.empty()) Shell("rm -rf " + Quote(m_prefix));
}

pid_t WineDesktop::Launch(const std::vector<std::string>& command, const std::string& workingDirectory, int outputFd,
                          bool throughWine, const std::vector<std::string>& extra) {
  std::vector<std::string> environment = Environment();
  environment.insert(environment.end(), extra.begin(), extra.end());
  const pid_t pid = fork();
  if (pid != 0) return pid;
  setpgid(0, 0);
  const int devnull = open("/dev/null", O_RDONLY);
  dup2(devnull, 0);
  dup2(outputFd, 1);
  dup2(outputFd, 2);
  if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(126);
  std::vector<char*> argv;
  static std::string wine = "wine";
  if (throughWine && command[0] != "wineserver") argv.push_back(wine.data());
  for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  execvpe(argv[0], argv.data(), envp.data());
  _exit(127);
}

// The output is read until the program has ended, not until the pipe closes: a Windows
// program the command started (the driver launching the debugger) inherits the pipe
// and keeps it open.
RunResult WineDesktop::Run(const std::vector<std::string>& command, int timeoutMs, const std::string& workingDirectory) {
  RunResult result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return result;
  const pid_t pid = Launch(command, workingDirectory, pipeFds[1]);
  close(pipeFds[1]);
  const int64_t deadline = NowMs() + timeoutMs;
  pollfd wait{pipeFds[0], POLLIN, 0};
  int status = 0;
  bool ended = false;
  bool open = true;
  while (open) {
    if (!ended && waitpid(pid, &status, WNOHANG) == pid) ended = true;
    if (!ended && NowMs() >= deadline) {
      result.timedOut = true;
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    // Once the program has ended only what is already in the pipe is taken.
    if (poll(&wait, 1, ended ? 0 : 10) <= 0) {
      if (ended) break;
      continue;
    }
    char buffer[4096];
    const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
    if (got <= 0) open = false;
    else result.output.append(buffer, static_cast<size_t>(got));
  }
  close(pipeFds[0]);
  if (!ended && !result.timedOut) waitpid(pid, &status, 0);
  if (!result.timedOut && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

pid_t WineDesktop::Spawn(const std::vector<std::string>& command, const std::string& workingDirectory,
                         const std::string& outputFile) {
  return SpawnInto(command, workingDirectory, outputFile, true, {});
}

pid_t WineDesktop::SpawnUnix(const std::vector<std::string>& command, const std::string& workingDirectory,
                             const std::string& outputFile, const std::vector<std::string>& extra) {
  return SpawnInto(command, workingDirectory, outputFile, false, extra);
}

pid_t WineDesktop::SpawnInto(const std::vector<std::string>& command, const std::string& workingDirectory,
                             const std::string& outputFile, bool throughWine, const std::vector<std::string>& extra) {
  const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const pid_t pid = Launch(command, workingDirectory, output, throughWine, extra);
  close(output);
  m_spawned.push_back(pid);
  return pid;
}

bool WineDesktop::WaitExit(pid_t pid, int timeoutMs, int* status) {
  const int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    int raw = 0;
    const pid_t done = waitpid(pid, &raw, WNOHANG);
    if (done == pid || done < 0) {
      *status = done == pid && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      std::erase(m_spawned, pid);
      return true;
    }
    if (NowMs() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace zentor::wine_gui
