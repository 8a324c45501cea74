// The fuzz driver's request sequence run against the stand-in agent over UDP, with
// every read on the line recorded in the driver's input form; the recording replayed
// through the driver must give what the live run gave. The recordings are the seeds of
// the agent_answer fuzz corpus: ZENTOR_UPDATE_GOLDEN=1 writes them there (for both
// line kinds: their records do not depend on the line).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "drivers/agent_answer_input.h"
#include "harness/agent_process.h"
#include "harness/transcript.h"
#include "target/agent_link.h"
#include "target/agent_requests.h"
#include "target/udp_transport.h"

namespace zentor {
namespace {

using Bytes = std::vector<uint8_t>;

// What the link read, as the driver's records; a read the records cannot express (a
// damaged packet longer than a raw record) is counted.
struct Recording {
  Bytes m_records;
  int m_unexpressed = 0;
};
Recording* g_recording = nullptr;

void RecordRead(const uint8_t* bytes, int32_t received) {
  Bytes& out = g_recording->m_records;
  if (received <= 0) {
    out.push_back(fuzzing::kAnswerRecordSilence);
    return;
  }
  if (received == 1) {
    out.insert(out.end(), {fuzzing::kAnswerRecordControlByte, bytes[0]});
    return;
  }
  AgentPacket packet;
  std::copy(bytes, bytes + received, packet.Bytes());
  const uint32_t back = TheAgentLink().NextSequence() - 1 - packet.Sequence();
  if (packet.Check(static_cast<uint32_t>(received)) == PacketCheck::Good && back < 4) {
    out.push_back(static_cast<uint8_t>(fuzzing::kAnswerRecordSealed | (back << 2)));
    for (uint32_t i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(packet.Code() >> (8 * i)));
    out.push_back(static_cast<uint8_t>(packet.Length()));
    out.push_back(static_cast<uint8_t>(packet.Length() >> 8));
    out.insert(out.end(), packet.Payload(), packet.Payload() + packet.Length());
  } else if (received <= 255) {
    out.insert(out.end(), {fuzzing::kAnswerRecordRaw, static_cast<uint8_t>(received)});
    out.insert(out.end(), bytes, bytes + received);
  } else {
    ++g_recording->m_unexpressed;
  }
}

int32_t RecordingRead(LinkHandle socket, uint8_t* buffer, uint32_t length, uint32_t timeout) {
  const int32_t received = UdpRead(socket, buffer, length, timeout);
  RecordRead(buffer, received);
  return received;
}

struct Scenario {
  const char* name;
  std::vector<std::string> options;
};

TEST(AgentRecordingTest, RecordedAnswersReplayThroughTheDriverAsTheyRanLive) {
  if (testing_support::AgentProgramPath().empty()) {
    GTEST_SKIP() << "the stand-in agent is not built here: scripts/test sets ZENTOR_AGENT";
  }
  const Scenario scenarios[] = {
      {"plain", {}},
      {"list-in-parts", {"--list-part", "2", "--extra-modules", "3"}},
      {"ack-first", {"--ack-first"}},
      {"duplicates", {"--duplicate", "1,3"}},
      {"stale", {"--stale", "2"}},
  };
  const char* update = std::getenv("ZENTOR_UPDATE_GOLDEN");
  const bool writeSeeds = update != nullptr && std::string(update) == "1";
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    testing_support::AgentProcess agent;
    std::vector<std::string> options = {"--module", testing_support::SampleModuleManifest()};
    options.insert(options.end(), scenario.options.begin(), scenario.options.end());
    std::string error;
    ASSERT_TRUE(agent.Start(options, &error)) << error;

    fuzzing::AgentAnswerOutcome live;
    Recording recording;
    {
      TheAgentLink().Reset();
      ASSERT_NE(OpenLink(kLinkKindUdp, agent.UdpLinkName().c_str(), 0), kNoLinkHandle);
      g_recording = &recording;
      TheAgentLink().SetTransport(LinkTransport{&RecordingRead, &UdpWrite, &UdpClose, &UdpFlush});
      live = fuzzing::RunAgentRequestSequence();
      g_recording = nullptr;
      TheAgentLink().Reset();
    }
    agent.Stop();
    EXPECT_EQ(recording.m_unexpressed, 0);
    EXPECT_NE(live.m_output.find("SERVER.NLM"), std::string::npos) << live.m_results << live.m_output;

    for (uint8_t kind : {uint8_t{1}, uint8_t{0}}) {
      Bytes input = {kind};
      input.insert(input.end(), recording.m_records.begin(), recording.m_records.end());
      const fuzzing::AgentAnswerOutcome replayed = fuzzing::RunAgentAnswerInput(input.data(), input.size());
      EXPECT_EQ(replayed.m_results, live.m_results) << (kind == 1 ? "UDP" : "serial");
      EXPECT_EQ(replayed.m_output, live.m_output) << (kind == 1 ? "UDP" : "serial");
      if (writeSeeds) {
        const std::string name = std::string("recorded-") + (kind == 1 ? "udp-" : "serial-") + scenario.name;
        testing_support::WriteFileBytes(std::filesystem::path(ZENTOR_FUZZ_CORPUS_DIR) / "agent_answer" / name,
                                        std::string(input.begin(), input.end()));
      }
    }
  }
}

// Two test programs of two Wine servers at once (two trees' tests) may have one
// process number: their agents' files must still differ, or one program reads the
// other's agent port and removes its ready file (every request then failed, the
// module listing first noticed).
TEST(AgentRecordingTest, AgentsOfProgramsWithOneProcessNumberKeepTheirOwnFiles) {
  EXPECT_NE(testing_support::AgentFileTag(0x100, 4), testing_support::AgentFileTag(0x100, 4));
}

}  // namespace
}  // namespace zentor
