// The stand-in agent's own parts: its options, module manifests and the checks its
// dispatcher makes before it executes a request.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "agent_options.h"
#include "module_image.h"
#include "request_dispatcher.h"
#include "server_model.h"
#include "target/agent_protocol.h"

namespace zentor::agent {
namespace {

TEST(AgentOptionsTest, FaultListsAndRefusals) {
  AgentOptions options;
  std::string error;
  ASSERT_TRUE(ParseAgentOptions({"--damage", "1-3,7", "--split-writes", "5:3", "--udp-port", "0", "--pty-link", "/x"},
                                &options, &error))
      << error;
  EXPECT_EQ(options.m_faults.m_damage, (std::set<uint32_t>{1, 2, 3, 7}));
  EXPECT_EQ(options.m_faults.m_splitBytes, 5u);
  EXPECT_EQ(options.m_faults.m_splitPauseMilliseconds, 3u);
  EXPECT_TRUE(options.m_pty);
  const std::vector<std::vector<std::string>> refused = {
      {"--drop", "3-1"}, {"--drop", "x"}, {"--udp-port", "65536"}, {"--list-part", "0"},
      {"--split-writes", "0"}, {"--delay"}, {"--frobnicate"}, {"--go-event", "thread-created"},
      {"--go-event", "thread-exited:3"}, {"--go-event", "load-error:0x1g"}, {"--go-event", "nap:1"},
  };
  for (const auto& arguments : refused) {
    SCOPED_TRACE(arguments[0]);
    AgentOptions other;
    EXPECT_FALSE(ParseAgentOptions(arguments, &other, &error));
  }
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(ModuleManifestTest, DamagedManifestsAreRefusedWithTheirLine) {
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("agent-manifest-" + std::to_string(::getpid()));
  std::filesystem::create_directories(directory);
  const std::string manifest = (directory / "m.mod").string();
  WriteFile(directory / "m.bin", std::string(16, '\x90'));
  const std::string good = "name = M.NLM\ncode = 0x1000 16\nimage = m.bin\nversion = 2.05 b\ndate = 2020-02-29\n";
  struct Case {
    const char* name;
    std::string text;
    const char* reason;  // "" = loads
  };
  const Case cases[] = {
      {"good", good, ""},
      {"unknown key", good + "colour = red\n", "m.mod:6"},
      {"bad number", "name = M\ncode = 0x1000 zz\nimage = m.bin\n", "m.mod:2"},
      {"month 13", good + "date = 2020-13-01\n", "m.mod:6"},
      {"no code", "name = M\nimage = m.bin\n", "needed"},
      {"missing image", "name = M\ncode = 1 1\nimage = none.bin\n", "none.bin"},
      {"beyond 4 GB", good + "load = 0xFFFFFFF8\n", "does not fit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(manifest, c.text);
    ModuleImage module;
    std::string error;
    const bool loaded = LoadModuleImage(manifest, &module, &error);
    EXPECT_EQ(loaded, std::string(c.reason).empty()) << error;
    if (!loaded) {
      EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
  }
  ModuleImage module;
  std::string error;
  WriteFile(manifest, good);
  ASSERT_TRUE(LoadModuleImage(manifest, &module, &error));
  EXPECT_EQ(module.m_revision, static_cast<uint32_t>('b'));
  EXPECT_EQ(module.m_loadAddress, 0x1000u);
  EXPECT_EQ(module.m_image.size(), 16u);
  std::filesystem::remove_all(directory);
}

// Requests the agent refuses, by the status it answers.
TEST(RequestDispatcherTest, MalformedRequestsAreRefused) {
  AgentOptions options;
  ServerModel server(options);
  RequestDispatcher dispatcher(server);
  struct Case {
    const char* name;
    uint32_t command;
    std::vector<uint8_t> payload;
    uint32_t status;
  };
  const Case cases[] = {
      {"unknown command", 0x18, {}, kServerUnknownCommand},
      {"hello of the wrong size", kAgentCommandHello, {1}, kServerParameterSizeError},
      {"registers of another thread", kAgentCommandReadRegisters, {1, 0, 0, 0, 1, 0}, kServerInvalidThread},
      {"register group 7", kAgentCommandReadRegisters, {0, 0, 0, 0, 0x80, 0}, kServerInvalidType},
      {"write whose count disagrees", kAgentCommandWriteMemory, {0, 0, 0, 0, 0, 0, 1, 0, 4, 0, 1, 2},
       kServerParameterSizeError},
      {"read of more than 1024", kAgentCommandReadMemory, {0, 0, 0, 0, 0, 0, 1, 0, 0x01, 0x04},
       kServerResponseTooBig},
      {"read of unmapped memory", kAgentCommandReadMemory, {0, 0, 0, 0, 0, 0, 0, 0x80, 4, 0}, kServerInvalidAddress},
      {"list continued without a start", kAgentCommandListNext, {2}, kServerInvalidType},
      {"list kind 9", kAgentCommandListFirst, {9}, kServerInvalidType},
      {"debug row with length code 2", kAgentCommandSetDebugBreakpoint, {0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 1},
       kServerInvalidType},
      {"unknown module", kAgentCommandModuleInfo, {1, 2, 3, 4}, kServerInvalidModule},
      {"load text longer than said", kAgentCommandLoadModule, {9, 'A'}, kServerParameterSizeError},
      {"load of a path", kAgentCommandLoadModule, {5, '.', '.', '/', 'x', 'y'}, kServerFileNotFound},
      {"unload of a module not loaded", kAgentCommandUnloadModule, {2, 'N', 'O'}, kServerModuleNotLoaded},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AgentPacket request;
    request.SetCode(c.command);
    request.SetLength(static_cast<uint32_t>(c.payload.size()));
    std::copy(c.payload.begin(), c.payload.end(), request.Payload());
    const std::optional<Answer> answer = dispatcher.Handle(request);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->m_status, c.status);
  }
}

}  // namespace
}  // namespace zentor::agent
