#include "target/agent_link.h"

#include <gtest/gtest.h>

#include "console/file_channel.h"
#include "core/dv_error.h"
#include "harness/transcript.h"
#include "scripted_line.h"
#include "target/agent_protocol.h"
#include "target/serial_transport.h"
#include "target/udp_transport.h"

namespace zentor {
namespace {

using testing_support::AnswerBytes;
using testing_support::Bytes;
using testing_support::ScriptedLine;

// Sends a read-memory request (command 9) through the program's link.
int32_t SendRequest(uint32_t command = kAgentCommandReadMemory, bool resendOnSilence = true) {
  AgentLink& link = TheAgentLink();
  link.RequestBuffer().SetCode(command);
  link.RequestBuffer().SetLength(0);
  return link.Transact(link.RequestBuffer(), link.AnswerBuffer(), resendOnSilence);
}

Bytes Damaged(Bytes bytes, size_t at) {
  bytes[at] ^= 0x40;
  return bytes;
}

// Scripts of what the agent sends back, on both kinds of line, with the control
// bytes the link must send and how often it must send the request.
TEST(AgentLinkTest, TransactionsRecoverAsTheRulesSay) {
  struct Case {
    const char* name;
    void (*script)(ScriptedLine&);
    int32_t result;
    size_t requestsSent;
    Bytes controlBytes;
    int flushes;
  };
  const Case cases[] = {
      {"answer at once", [](ScriptedLine& l) { l.Arrive(AnswerBytes(0, 0)); }, 0, 1, {kAckByte}, 0},
      {"NAK, then the resent request is answered",
       [](ScriptedLine& l) {
         l.Arrive({kNakByte});
         l.Arrive(AnswerBytes(0, 0));
       },
       0, 2, {kAckByte}, 1},
      {"a stray byte counts as a refusal",
       [](ScriptedLine& l) {
         l.Arrive({0x7E});
         l.Arrive(AnswerBytes(0, 0));
       },
       0, 2, {kAckByte}, 1},
      {"stale answer acknowledged and ignored",
       [](ScriptedLine& l) {
         l.Arrive(AnswerBytes(0xFFFFFFFFu, 0));
         l.Arrive(AnswerBytes(0, 0));
       },
       0, 1, {kAckByte, kAckByte}, 0},
      {"stale answer then silence: resent with the same number",
       [](ScriptedLine& l) {
         l.Arrive(AnswerBytes(0xFFFFFFFFu, 0));
         l.Silence();
         l.Arrive(AnswerBytes(0, 0));
       },
       0, 2, {kAckByte, kAckByte}, 0},
      {"damaged answer: NAK, and the agent repeats it",
       [](ScriptedLine& l) {
         l.Arrive(Damaged(AnswerBytes(0, 0, {1, 2, 3}), 15));
         l.Arrive(AnswerBytes(0, 0, {1, 2, 3}));
       },
       0, 1, {kNakByte, kAckByte}, 0},
      {"silence resends",
       [](ScriptedLine& l) {
         l.Silence();
         l.Silence();
         l.Arrive(AnswerBytes(0, 0));
       },
       0, 3, {kAckByte}, 0},
      {"twenty sends fail", [](ScriptedLine&) {}, -1, 20, {}, 0},
      {"twenty damaged answers fail without a last NAK",
       [](ScriptedLine& l) {
         for (int i = 0; i < 20; ++i) l.Arrive(Damaged(AnswerBytes(0, 0), 15));
       },
       -1, 1, Bytes(19, kNakByte), 0},
  };
  for (uint32_t kind : {kLinkKindUdp, kLinkKindSerial}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (kind == kLinkKindUdp ? " (UDP)" : " (serial)"));
      ScriptedLine line(kind);
      c.script(line);
      EXPECT_EQ(SendRequest(), c.result);
      EXPECT_EQ(line.Packets().size(), c.requestsSent);
      EXPECT_EQ(line.ControlBytes(), c.controlBytes);
      EXPECT_EQ(line.Flushes(), c.flushes);
      for (const Bytes& packet : line.Packets()) EXPECT_EQ(packet, line.Packets()[0]);
      if (c.result != 0) {
        EXPECT_EQ(TheAgentLink().AnswerBuffer().Code(), 0xFFFFFFFFu);
      }
    }
  }
}

// Datagrams that cannot be an answer are refused with NAK; an empty one is nothing.
TEST(AgentLinkTest, MalformedDatagramsAreBadAnswers) {
  struct Case {
    const char* name;
    Bytes datagram;
  };
  Bytes oversized = AnswerBytes(0, 0, Bytes(20, 7));
  oversized[9] = 0x01;  // L = 0x401
  oversized[10] = 0x04;
  oversized[13] = HeaderSum(oversized.data());
  Bytes longer = AnswerBytes(0, 0, {5});
  longer.push_back(0);
  const Case cases[] = {
      {"shorter than 16 bytes", Bytes{kPacketMark, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
      {"longer than L + 16", longer},
      {"length over 1024", oversized},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLine line(kLinkKindUdp);
    line.Arrive(c.datagram);
    line.Arrive(AnswerBytes(0, 0));
    EXPECT_EQ(SendRequest(), 0);
    EXPECT_EQ(line.ControlBytes(), (Bytes{kNakByte, kAckByte}));
  }
  ScriptedLine line(kLinkKindUdp);
  line.Arrive({});
  line.Arrive(AnswerBytes(0, 0));
  EXPECT_EQ(SendRequest(), 0);
  EXPECT_EQ(line.Packets().size(), 2u) << "an empty datagram is silence: the request goes again";
}

TEST(AgentLinkTest, UnansweredGetEventGivesItsNumberBack) {
  ScriptedLine line(kLinkKindUdp);
  line.Silence();
  EXPECT_EQ(SendRequest(kAgentCommandGetEvent, false), -1);
  EXPECT_EQ(TheAgentLink().NextSequence(), 0u);
  // Its answer comes late, after the debugger gave up: it must not pass for the answer
  // of the next request, which carries the same number.
  line.Arrive(AnswerBytes(0, 0, {0xE9, 0x03}));
  line.Silence();  // the drain finds nothing more
  line.Arrive(AnswerBytes(0, 0x4003));
  EXPECT_EQ(SendRequest(), 0);
  EXPECT_EQ(TheAgentLink().AnswerBuffer().Code(), 0x4003u);
  ASSERT_EQ(line.Packets().size(), 2u);
  EXPECT_EQ(line.Packets()[0][1], line.Packets()[1][1]) << "the number is used again";
  EXPECT_EQ(TheAgentLink().NextSequence(), 1u);

  // A stale answer followed by silence resends even a get-event.
  line.Arrive(AnswerBytes(0, 0));
  line.Silence();
  line.Arrive(AnswerBytes(1, 0, {0x42, 0x04}));
  EXPECT_EQ(SendRequest(kAgentCommandGetEvent, false), 0);
  EXPECT_EQ(line.Packets().size(), 4u);
}

TEST(AgentLinkTest, BrokenLinesRaiseTheInternalError) {
  struct Case {
    const char* name;
    uint32_t kind;
    bool resendOnSilence;
    Bytes arrival;  // empty: silence
  };
  const Case cases[] = {
      {"silence where no resend is allowed", kLinkKindUdp, false, {}},
      {"ACK datagram and then nothing", kLinkKindUdp, true, {kAckByte}},
      {"mark and a truncated header", kLinkKindSerial, true, {kPacketMark, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLine line(c.kind);
    if (c.arrival.empty()) {
      line.Silence();
    } else {
      line.Arrive(c.arrival);
    }
    try {
      SendRequest(kAgentCommandReadMemory, c.resendOnSilence);
      ADD_FAILURE() << "no error";
    } catch (const DVError& error) {
      EXPECT_EQ(error.Number(), 1u);
      EXPECT_EQ(error.Severity(), 5u);
    }
  }
}

// A UDP link name that names no host is shown in an error box and ends the program.
// (Names that are looked up are left out: a lookup may wait on the network.)
TEST(AgentLinkTest, UdpNamesOfNoHostEndTheProgram) {
  struct Case {
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {"1.2.3.4.5", "Invalid Internet address '1.2.3.4.5'."},
      {"127.0.0.1:99999", "Invalid Internet address '127.0.0.1:99999'."},
      {"agent:port", "Hostname 'agent:port' not found."},
  };
  testing_support::RecordingWindowBackend windows;
  WindowLayerBackend* previous = WindowLayer::SetBackend(&windows);
  SetProgramExitHandler([] { throw testing_support::ProgramExited{}; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    windows.m_boxes.clear();
    EXPECT_THROW(OpenUdpLink(c.name), testing_support::ProgramExited);
    ASSERT_EQ(windows.m_boxes.size(), 1u);
    EXPECT_NE(windows.m_boxes[0].find(c.text), std::string::npos) << windows.m_boxes[0];
  }
  SetProgramExitHandler(nullptr);
  WindowLayer::SetBackend(previous);
  std::string host;
  uint16_t port = 0;
  EXPECT_TRUE(SplitUdpLinkName("127.0.0.1", &host, &port));
  EXPECT_EQ(port, kDefaultAgentUdpPort);
  EXPECT_TRUE(SplitUdpLinkName("server:4000", &host, &port));
  EXPECT_EQ(host, "server");
  EXPECT_EQ(port, 4000);
}

uint32_t g_stamp = 0;
uint32_t FakeStamp() { return g_stamp += 40; }

TEST(AgentLinkTest, SerialHelloSynchronisesTheLineFirst) {
  SetSerialTimeStampSource(&FakeStamp);
  {
    // Other bytes between the echoes do not matter; the third echo does it.
    ScriptedLine line(kLinkKindSerial);
    SetSerialTimeStampSource(&FakeStamp);
    line.Arrive({kSerialSyncByte});
    line.Arrive({0x33});
    line.Arrive({kSerialSyncByte});
    line.Silence();
    line.Arrive({kSerialSyncByte});
    line.Arrive(AnswerBytes(0, 0, {1, 2, 1}));
    EXPECT_EQ(SendRequest(kAgentCommandHello), 0);
    EXPECT_EQ(line.Writes().size(), 5u + 2u);  // five sync bytes, the hello, the ACK
    EXPECT_EQ(SerialEchoCount(), 3u);
  }
  {
    ScriptedLine line(kLinkKindSerial);
    SetSerialTimeStampSource(&FakeStamp);
    EXPECT_EQ(SendRequest(kAgentCommandHello), -1);
    EXPECT_EQ(line.Packets().size(), 0u) << "nothing but sync bytes goes out";
    EXPECT_EQ(line.ControlBytes(), Bytes(kSyncTries, kSerialSyncByte));
  }
}

uint32_t g_stamps[4];
uint32_t g_stampIndex = 0;
uint32_t ScriptedStamp() { return g_stamps[g_stampIndex++]; }

TEST(AgentLinkTest, SynchronisationWaitEndsOnAWrappedStamp) {
  const uint32_t wrapped[] = {255990, 256000 - 256000 + 5};
  g_stamps[0] = wrapped[0];
  g_stamps[1] = wrapped[1];
  g_stampIndex = 0;
  WaitByTimeStamp(100, &ScriptedStamp);
  EXPECT_EQ(g_stampIndex, 2u);
  const uint32_t plain[] = {1000, 1050, 1099, 1100};
  std::copy(std::begin(plain), std::end(plain), g_stamps);
  g_stampIndex = 0;
  WaitByTimeStamp(100, &ScriptedStamp);
  EXPECT_EQ(g_stampIndex, 4u);
}

}  // namespace
}  // namespace zentor
