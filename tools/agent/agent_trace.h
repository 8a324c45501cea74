#pragma once
// The stand-in agent's trace: one line per request executed, answered from the
// history or ignored, per control byte and per spoiled answer, flushed at once so a
// test can read it while the agent runs. Without a trace file nothing is written.

#include <cstdio>
#include <string>

namespace zentor::agent {

class AgentTrace {
 public:
  AgentTrace() = default;
  ~AgentTrace();
  AgentTrace(const AgentTrace&) = delete;
  AgentTrace& operator=(const AgentTrace&) = delete;

  bool Open(const std::string& path);
  bool IsOn() const { return m_file != nullptr; }
  // printf-like; a line end is added.
  void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  std::FILE* m_file = nullptr;
};

}  // namespace zentor::agent
