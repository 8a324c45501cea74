#pragma once
// The framed packet of the agent protocol, shared by the debugger's link and the
// stand-in agent (header only). A packet is a 14-byte header, the payload and a 16-bit
// sum: mark 0x01, sequence number, command (request) or status (answer), payload
// length L, a header sum over bytes 0-12, then L payload bytes and the sum of every
// byte before it, all little-endian; L + 16 bytes in all. ACK, NAK and the serial
// synchronisation byte travel alone.

#include <array>
#include <cstdint>

#include "support/little_endian.h"

namespace zentor {

inline constexpr uint8_t kPacketMark = 0x01;
inline constexpr uint8_t kAckByte = 0x06;
inline constexpr uint8_t kNakByte = 0x15;
inline constexpr uint8_t kSerialSyncByte = 0x8C;

inline constexpr uint32_t kPacketSequenceOffset = 1;
inline constexpr uint32_t kPacketCodeOffset = 5;
inline constexpr uint32_t kPacketLengthOffset = 9;
inline constexpr uint32_t kPacketHeaderSumOffset = 13;
inline constexpr uint32_t kPacketHeaderSize = 14;  // also the payload's offset
inline constexpr uint32_t kPacketOverhead = 16;    // header and packet sum
inline constexpr uint32_t kMaxPayloadLength = 1024;
inline constexpr uint32_t kPacketBufferSize = kMaxPayloadLength + kPacketOverhead;  // 1040

// The sum of `count` bytes taken as unsigned values, modulo `modulus`. Every answer and
// request is summed whole, so the bytes are added eight at a time: the byte pairs of a
// word fall into four 16-bit lanes (at most 510 each), and one multiplication gathers
// the lanes into the top one (at most 2040, so no lane carries into the next).
inline uint32_t PacketChecksum(const uint8_t* bytes, uint32_t count, uint32_t modulus) {
  constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FFull;
  constexpr uint64_t kLaneOnes = 0x0001000100010001ull;
  uint32_t sum = 0;
  uint32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const uint64_t word = value_bytes::LoadU64(bytes + i);
    const uint64_t pairs = (word & kEvenBytes) + ((word >> 8) & kEvenBytes);
    sum += static_cast<uint32_t>((pairs * kLaneOnes) >> 48);
  }
  for (; i < count; ++i) sum += bytes[i];
  return sum % modulus;
}
inline uint8_t HeaderSum(const uint8_t* packet) {
  return static_cast<uint8_t>(PacketChecksum(packet, kPacketHeaderSumOffset, 256));
}
inline uint16_t PacketSum(const uint8_t* packet, uint32_t length) {
  return static_cast<uint16_t>(PacketChecksum(packet, length + kPacketHeaderSize, 65536));
}

// Why a received packet is refused, first failure first.
enum class PacketCheck : uint8_t {
  Good,
  TooShort,        // fewer bytes than a header and a sum
  BadMark,         // byte 0 is not 0x01
  BadHeaderSum,
  LengthTooLarge,  // the header announces more than 1024 payload bytes
  WrongSize,       // the bytes received are not L + 16
  BadPacketSum,
};

// One packet in a buffer that holds the largest one. Fields are read and written
// little-endian in place; the payload starts at byte 14.
class AgentPacket {
 public:
  uint8_t* Bytes() { return m_bytes.data(); }
  const uint8_t* Bytes() const { return m_bytes.data(); }
  uint8_t* Payload() { return m_bytes.data() + kPacketHeaderSize; }
  const uint8_t* Payload() const { return m_bytes.data() + kPacketHeaderSize; }

  uint32_t Sequence() const { return value_bytes::LoadU32(&m_bytes[kPacketSequenceOffset]); }
  void SetSequence(uint32_t sequence) { value_bytes::StoreU32(&m_bytes[kPacketSequenceOffset], sequence); }
  // The command of a request, the status of an answer.
  uint32_t Code() const { return value_bytes::LoadU32(&m_bytes[kPacketCodeOffset]); }
  void SetCode(uint32_t code) { value_bytes::StoreU32(&m_bytes[kPacketCodeOffset], code); }
  uint32_t Length() const { return value_bytes::LoadU32(&m_bytes[kPacketLengthOffset]); }
  void SetLength(uint32_t length) { value_bytes::StoreU32(&m_bytes[kPacketLengthOffset], length); }
  // L + 16; only meaningful once the length is known to be at most 1024.
  uint32_t WireSize() const { return Length() + kPacketOverhead; }
  // The packet sum stored behind the payload (the length must be at most 1024).
  uint16_t StoredPacketSum() const { return value_bytes::LoadU16(&m_bytes[kPacketHeaderSize + Length()]); }

  // Writes the mark, the sequence number and both sums around the command (or status),
  // length and payload already in place. The length must be at most 1024.
  void Seal(uint32_t sequence) {
    m_bytes[0] = kPacketMark;
    SetSequence(sequence);
    m_bytes[kPacketHeaderSumOffset] = HeaderSum(m_bytes.data());
    value_bytes::StoreU16(&m_bytes[kPacketHeaderSize + Length()], PacketSum(m_bytes.data(), Length()));
  }

  // The header alone: the mark, the header sum and a length that fits the buffer.
  PacketCheck CheckHeader() const {
    if (m_bytes[0] != kPacketMark) return PacketCheck::BadMark;
    if (m_bytes[kPacketHeaderSumOffset] != HeaderSum(m_bytes.data())) return PacketCheck::BadHeaderSum;
    if (Length() > kMaxPayloadLength) return PacketCheck::LengthTooLarge;
    return PacketCheck::Good;
  }
  // A whole packet of `received` bytes (a datagram, or header and rest read from a line).
  PacketCheck Check(uint32_t received) const {
    if (received < kPacketOverhead) return PacketCheck::TooShort;
    if (const PacketCheck header = CheckHeader(); header != PacketCheck::Good) return header;
    if (received != WireSize()) return PacketCheck::WrongSize;
    if (StoredPacketSum() != PacketSum(m_bytes.data(), Length())) return PacketCheck::BadPacketSum;
    return PacketCheck::Good;
  }

 private:
  std::array<uint8_t, kPacketBufferSize> m_bytes{};
};

// Writes little-endian fields one after another into a payload; the caller sizes the
// payload, so a write past the largest payload is a programming error and is dropped.
class PayloadWriter {
 public:
  explicit PayloadWriter(uint8_t* payload) : m_payload(payload) {}
  PayloadWriter& U8(uint8_t value) {
    if (Fits(1)) m_payload[m_used] = value;
    m_used += 1;
    return *this;
  }
  PayloadWriter& U16(uint16_t value) {
    if (Fits(2)) value_bytes::StoreU16(m_payload + m_used, value);
    m_used += 2;
    return *this;
  }
  PayloadWriter& U32(uint32_t value) {
    if (Fits(4)) value_bytes::StoreU32(m_payload + m_used, value);
    m_used += 4;
    return *this;
  }
  PayloadWriter& Bytes(const void* bytes, uint32_t count) {
    if (Fits(count)) {
      const auto* from = static_cast<const uint8_t*>(bytes);
      for (uint32_t i = 0; i < count; ++i) m_payload[m_used + i] = from[i];
    }
    m_used += count;
    return *this;
  }
  uint32_t Used() const { return m_used; }
  bool Overflowed() const { return m_used > kMaxPayloadLength; }

 private:
  bool Fits(uint32_t count) const { return m_used <= kMaxPayloadLength && count <= kMaxPayloadLength - m_used; }
  uint8_t* m_payload;
  uint32_t m_used = 0;
};

// Reads little-endian fields from received bytes; a field that lies beyond the end
// reads as 0 and marks the reader short, so a short payload never reads past its end.
class PayloadReader {
 public:
  PayloadReader(const uint8_t* bytes, uint32_t length) : m_bytes(bytes), m_length(length) {}
  uint8_t U8() { return Has(1) ? m_bytes[Advance(1)] : Miss<uint8_t>(1); }
  uint16_t U16() { return Has(2) ? value_bytes::LoadU16(m_bytes + Advance(2)) : Miss<uint16_t>(2); }
  uint32_t U32() { return Has(4) ? value_bytes::LoadU32(m_bytes + Advance(4)) : Miss<uint32_t>(4); }
  // Copies up to `count` bytes (fewer at the end) and returns how many were copied.
  uint32_t Bytes(void* to, uint32_t count) {
    const uint32_t available = m_position < m_length ? m_length - m_position : 0;
    const uint32_t copied = count < available ? count : available;
    auto* out = static_cast<uint8_t*>(to);
    for (uint32_t i = 0; i < copied; ++i) out[i] = m_bytes[m_position + i];
    if (copied < count) m_short = true;
    m_position += count;
    return copied;
  }
  void Seek(uint32_t position) { m_position = position; }
  uint32_t Position() const { return m_position; }
  uint32_t Remaining() const { return m_position < m_length ? m_length - m_position : 0; }
  // True once any field lay beyond the end.
  bool IsShort() const { return m_short; }

 private:
  bool Has(uint32_t count) const { return m_position <= m_length && count <= m_length - m_position; }
  uint32_t Advance(uint32_t count) {
    const uint32_t at = m_position;
    m_position += count;
    return at;
  }
  template <typename T>
  T Miss(uint32_t count) {
    m_short = true;
    m_position += count;
    return 0;
  }
  const uint8_t* m_bytes;
  uint32_t m_length;
  uint32_t m_position = 0;
  bool m_short = false;
};

}  // namespace zentor
