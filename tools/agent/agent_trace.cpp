#include "agent_trace.h"

#include <cstdarg>

namespace zentor::agent {

AgentTrace::~AgentTrace() {
  if (m_file != nullptr) std::fclose(m_file);
}

bool AgentTrace::Open(const std::string& path) {
  m_file = std::fopen(path.c_str(), "w");
  return m_file != nullptr;
}

void AgentTrace::Line(const char* format, ...) {
  if (m_file == nullptr) return;
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(m_file, format, arguments);
  va_end(arguments);
  std::fputc('\n', m_file);
  std::fflush(m_file);
}

}  // namespace zentor::agent
