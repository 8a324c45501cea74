#include "stand_in_agent.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace zentor::wine_gui {

bool StandInAgent::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& directory, std::string* error) {
  // A second start (a scenario that starts the debugger again) gets a fresh agent, not
  // the one the first run left where it stopped, nor its ready file.
  if (m_pid > 0) {
    kill(m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
  }
  m_readyFile = directory + "/agent.ready";
  unlink(m_readyFile.c_str());
  m_traceFile = directory + "/agent.trace";
  std::vector<std::string> command{program, "--udp-port", "0", "--ready-file", m_readyFile, "--idle-exit", "900",
                                   "--trace", m_traceFile, "--quiet"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  const std::string log = directory + "/agent.log";
  m_pid = fork();
  if (m_pid == 0) {
    const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(output, 1);
    dup2(output, 2);
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  for (int waited = 0; waited < 10000; waited += 10) {
    std::ifstream ready(m_readyFile);
    std::string word;
    int port = 0;
    while (ready >> word) {
      if (word == "udp-port" && ready >> port) {
        m_port = port;
        return true;
      }
    }
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      std::ifstream in(log);
      std::stringstream text;
      text << in.rdbuf();
      *error = "the stand-in agent ended at once: " + text.str();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  *error = "the stand-in agent did not say where it listens";
  Stop();
  return false;
}

void StandInAgent::Stop() {
  if (m_pid <= 0) return;
  unlink(m_readyFile.c_str());
  int status = 0;
  for (int waited = 0; waited < 3000; waited += 10) {
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(m_pid, SIGKILL);
  waitpid(m_pid, &status, 0);
  m_pid = -1;
}

std::vector<std::string> StandInAgent::Requests() const {
  std::vector<std::string> lines;
  std::ifstream in(m_traceFile);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("exec ", 0) == 0) lines.push_back(line);
  }
  return lines;
}

}  // namespace zentor::wine_gui
