#pragma once
// The stand-in debug agent (zentor-agent, native) for a scenario: started on a free
// UDP port with a sample module, its requests traced into a file, ended when the
// scenario ends (its ready file removed).

#include <sys/types.h>

#include <string>
#include <vector>

namespace zentor::wine_gui {

class StandInAgent {
 public:
  StandInAgent() = default;
  StandInAgent(const StandInAgent&) = delete;
  StandInAgent& operator=(const StandInAgent&) = delete;
  ~StandInAgent() { Stop(); }

  // Starts `program` with `arguments` and its own ready file, idle exit and trace in
  // `directory`, and waits until it listens. False with a reason.
  bool Start(const std::string& program, const std::vector<std::string>& arguments, const std::string& directory,
             std::string* error);
  void Stop();
  bool Running() const { return m_pid > 0; }
  int Port() const { return m_port; }
  // The trace's request lines ("exec seq=N command=0xCC ...").
  std::vector<std::string> Requests() const;
  const std::string& TraceFile() const { return m_traceFile; }

 private:
  pid_t m_pid = -1;
  int m_port = 0;
  std::string m_readyFile;
  std::string m_traceFile;
};

}  // namespace zentor::wine_gui
