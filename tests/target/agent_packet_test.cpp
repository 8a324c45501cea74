#include "target/agent_packet.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace zentor {
namespace {

std::vector<uint8_t> Wire(const AgentPacket& packet) {
  return std::vector<uint8_t>(packet.Bytes(), packet.Bytes() + packet.WireSize());
}

AgentPacket Sealed(uint32_t sequence, uint32_t code, const std::vector<uint8_t>& payload) {
  AgentPacket packet;
  packet.SetCode(code);
  packet.SetLength(static_cast<uint32_t>(payload.size()));
  for (size_t i = 0; i < payload.size(); ++i) packet.Payload()[i] = payload[i];
  packet.Seal(sequence);
  return packet;
}

TEST(AgentPacketTest, HelloRequestIsTheWorkedExample) {
  const std::vector<uint8_t> expected = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0x02, 0x00, 0x00, 0x00, 0x03, 0x01, 0x00, 0x07, 0x00};
  EXPECT_EQ(Wire(Sealed(0, 0, {0x01, 0x00})), expected);
}

// The sums against a plain reference: byte sums modulo 256 and 65536 over the parts
// each covers, for packets with carries in both sums and every length of a last piece
// shorter than eight bytes.
TEST(AgentPacketTest, SumsCoverHeaderAndPayload) {
  std::mt19937 random(20240315);
  std::vector<uint32_t> lengths = {300u, 1016u, 1017u, 1018u, 1019u, 1020u, 1021u, 1022u, 1023u, 1024u};
  for (uint32_t length = 0; length < 18; ++length) lengths.push_back(length);
  for (uint32_t length : lengths) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> payload(length);
    for (uint8_t& byte : payload) byte = static_cast<uint8_t>(random() | 0x80);
    const AgentPacket packet = Sealed(0xFEDCBA98u, 0x12345678u, payload);
    const std::vector<uint8_t> wire = Wire(packet);
    ASSERT_EQ(wire.size(), length + 16);
    uint32_t headerSum = 0;
    for (int i = 0; i < 13; ++i) headerSum += wire[i];
    EXPECT_EQ(wire[13], headerSum % 256);
    uint32_t packetSum = 0;
    for (uint32_t i = 0; i < length + 14; ++i) packetSum += wire[i];
    EXPECT_EQ(wire[length + 14] | (wire[length + 15] << 8), packetSum % 65536);
    EXPECT_EQ(packet.Check(length + 16), PacketCheck::Good);
  }
}

TEST(AgentPacketTest, EveryOneBitErrorIsDetected) {
  for (uint32_t length : {0u, 5u, 64u}) {
    std::vector<uint8_t> payload(length);
    for (uint32_t i = 0; i < length; ++i) payload[i] = static_cast<uint8_t>(i * 37);
    const AgentPacket good = Sealed(41, 9, payload);
    for (uint32_t byte = 0; byte < good.WireSize(); ++byte) {
      for (int bit = 0; bit < 8; ++bit) {
        AgentPacket damaged = good;
        damaged.Bytes()[byte] ^= static_cast<uint8_t>(1u << bit);
        // A damaged length changes how many bytes the packet claims: what arrived is
        // still the good packet's size.
        EXPECT_NE(damaged.Check(good.WireSize()), PacketCheck::Good) << "length " << length << " byte " << byte
                                                                      << " bit " << bit;
      }
    }
  }
}

TEST(AgentPacketTest, RefusalsComeInOrder) {
  struct Case {
    const char* name;
    uint32_t received;
    void (*damage)(AgentPacket&);
    PacketCheck expected;
  };
  const Case cases[] = {
      {"shorter than a header and sum", 15, [](AgentPacket&) {}, PacketCheck::TooShort},
      {"mark", 20, [](AgentPacket& p) { p.Bytes()[0] = 0x02; }, PacketCheck::BadMark},
      {"header sum", 20, [](AgentPacket& p) { p.Bytes()[13] ^= 0xFF; }, PacketCheck::BadHeaderSum},
      {"length beyond the buffer", 20,
       [](AgentPacket& p) {
         p.SetLength(1025);
         p.Bytes()[13] = HeaderSum(p.Bytes());
       },
       PacketCheck::LengthTooLarge},
      {"datagram longer than L + 16", 21, [](AgentPacket&) {}, PacketCheck::WrongSize},
      {"packet sum", 20, [](AgentPacket& p) { p.Bytes()[19] ^= 0x10; }, PacketCheck::BadPacketSum},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AgentPacket packet = Sealed(3, 0, {1, 2, 3, 4});
    c.damage(packet);
    EXPECT_EQ(packet.Check(c.received), c.expected);
  }
}

TEST(AgentPacketTest, ReaderNeverReadsPastItsEnd) {
  const uint8_t bytes[] = {0x34, 0x12, 0x78, 0x56, 0xAA};
  PayloadReader reader(bytes, 5);
  EXPECT_EQ(reader.U16(), 0x1234);
  EXPECT_FALSE(reader.IsShort());
  EXPECT_EQ(reader.U32(), 0u);  // only three bytes are left
  EXPECT_TRUE(reader.IsShort());
  char text[4] = {'x', 'x', 'x', 'x'};
  PayloadReader names(bytes, 5);
  names.Seek(3);
  EXPECT_EQ(names.Bytes(text, 4), 2u);
  EXPECT_EQ(static_cast<uint8_t>(text[1]), 0xAA);
}

}  // namespace
}  // namespace zentor
