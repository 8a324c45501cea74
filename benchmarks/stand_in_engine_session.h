#pragma once
// The program started against the stand-in agent over UDP loopback, as the console
// program starts: one agent process running a sample module, start-up with "-ip", the
// command output thrown away. Shared by the benchmarks that drive the engine through
// its commands; each program starts one session and keeps it to its end.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/startup.h"
#include "command/grammar_object.h"
#include "console/output_writer.h"
#include "core/value_bytes.h"
#include "engine/register_access.h"
#include "harness/agent_process.h"

namespace zentor::bench {

// A command as the command window would run it; its output is thrown away.
inline bool RunCommand(const char* command) {
  // A window's capture takes the program's hook away with it.
  if (!OutputWriter::IsHookInstalled()) OutputWriter::InstallHook([](char) {});
  uint16_t kind = 0;
  std::vector<uint8_t> value(1024);
  DVError error;
  const DVErrorCode status = ExecuteTextInto(command, kProductionCommand, &kind, value.data(), &error);
  if (!status.IsOkay()) std::fprintf(stderr, "bench: \"%s\" failed with %u\n", command, status.Number());
  return status.IsOkay();
}

// The general registers put back between runs (eax .. eip).
inline constexpr int32_t kSavedRegisterRows = 9;

inline std::vector<RegisterValue> SaveRegisters() {
  std::vector<RegisterValue> saved;
  for (int32_t row = 0; row < kSavedRegisterRows; ++row) {
    saved.push_back(GeneralRegistersObject().ReadRegisterByIndex(row));
  }
  return saved;
}

// The registers back, and the program counter made the current address again (names
// resolve in its scope).
inline void RestoreRegisters(const std::vector<RegisterValue>& saved) {
  for (const RegisterValue& value : saved) GeneralRegistersObject().WriteRegister(value);
  const AddressDescriptor pc = ProgramCounterObject().Read();
  ProgramCounterObject().Write(&pc);
}

// Starts the agent running `module` (its manifest in the sample modules' folder) and
// the program on it, once per benchmark program; false when either did not start.
// *directory receives the sample modules' folder.
inline bool StartStandInSession(const std::string& module, std::string* directory) {
  static testing_support::AgentProcess agent;
  agent.SetTracing(false);
  testing_support::SetOfflineSession(false);
  *directory = testing_support::SampleModulesDirectory();
  if (directory->empty()) return false;
  std::string error;
  if (!agent.Start({"--module", *directory + module + ".mod"}, &error)) {
    std::fprintf(stderr, "bench: %s\n", error.c_str());
    return false;
  }
  static std::string link = agent.UdpLinkName();
  static std::vector<std::string> texts = {"zentor", "-test", "-ip", link};
  static std::vector<char*> vector;
  for (std::string& text : texts) vector.push_back(text.data());
  vector.push_back(nullptr);
  GetProgramArguments().count = static_cast<int32_t>(texts.size());
  GetProgramArguments().vector = vector.data();
  try {
    Startup();
  } catch (const DVError& failure) {
    std::fprintf(stderr, "bench: start-up failed with %u\n", failure.Number());
    return false;
  }
  OutputWriter::InstallHook([](char) {});
  return true;
}

// VIEWS stopped at the first line of Leaf, twenty frames deep, with ten watches set:
// where the views' and the windows' benchmarks time a stop. False when a command
// failed.
inline bool StopViewsAtLeafWithTenWatches(const std::string& directory) {
  static constexpr const char* kWatches[] = {"g_small[0]", "g_small[99]",     "g_large[4999]",        "g_counter",
                                             "g_letter",   "g_shape.colour", "g_shape.corners[2].x", "g_wide[1]",
                                             "depth",      "scratch"};
  const std::string loadsym = "loadsym " + directory + "views";
  if (!RunCommand(loadsym.c_str()) || !RunCommand("br = :VIEWS#32") || !RunCommand("go; wait") ||
      !RunCommand("remove breaks")) {
    return false;
  }
  for (const char* watch : kWatches) {
    if (!RunCommand(("wa = " + std::string(watch)).c_str())) return false;
  }
  return true;
}

}  // namespace zentor::bench
