#include "support/rw_bitvec.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "support/rw_messages.h"

namespace zentor {

void RWBitRunOr(uint8_t* dst, const uint8_t* src, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(dst[i] | src[i]);
}

void RWBitRunXor(uint8_t* dst, const uint8_t* src, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(dst[i] ^ src[i]);
}

void RWBitRunAnd(uint8_t* dst, const uint8_t* src, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(dst[i] & src[i]);
}

namespace {

// First bit among the first nBits whose value is `wanted`; bytes are scanned whole
// and the answer is dropped when it lies in the unused tail.
uint32_t FirstBitEqual(const uint8_t* bytes, uint32_t nBits, bool wanted) {
  uint32_t fullBytes = nBits >> 3;
  uint32_t totalBytes = static_cast<uint32_t>((uint64_t{nBits} + 7) >> 3);
  for (uint32_t b = 0; b < totalBytes; ++b) {
    unsigned value = wanted ? bytes[b] : static_cast<uint8_t>(~bytes[b]);
    if (value == 0) continue;
    uint32_t bit = (b << 3) + static_cast<uint32_t>(std::countr_zero(value));
    if (b >= fullBytes && bit >= nBits) return RW_NPOS;
    return bit;
  }
  return RW_NPOS;
}

uint32_t RotateLeft5(uint32_t h) { return (h << 5) | (h >> 27); }

}  // namespace

uint32_t RWBitRunFirstSet(const uint8_t* bytes, uint32_t nBits) { return FirstBitEqual(bytes, nBits, true); }
uint32_t RWBitRunFirstClear(const uint8_t* bytes, uint32_t nBits) { return FirstBitEqual(bytes, nBits, false); }

RWBitVec::RWBitVec(uint32_t n) : m_n(n) {
  if (n) m_bytes.reset(new uint8_t[ByteCount(n)]());
}

RWBitVec::RWBitVec(uint32_t n, bool value) : m_n(n) {
  if (n) {
    m_bytes.reset(new uint8_t[ByteCount(n)]);
    std::memset(m_bytes.get(), value ? 0xFF : 0, ByteCount(n));
  }
}

RWBitVec::RWBitVec(const uint8_t* bytes, uint32_t n) : m_n(n) {
  if (n) {
    m_bytes.reset(new uint8_t[ByteCount(n)]());
    if (bytes) std::memcpy(m_bytes.get(), bytes, ByteCount(n));
  }
}

RWBitVec::RWBitVec(const RWBitVec& other) : RWBitVec(other.m_bytes.get(), other.m_n) {}

RWBitVec::RWBitVec(RWBitVec&& other) noexcept : m_bytes(std::move(other.m_bytes)), m_n(other.m_n) {
  other.m_n = 0;
}

RWBitVec::~RWBitVec() = default;

RWBitVec& RWBitVec::operator=(const RWBitVec& other) {
  if (m_bytes.get() == other.m_bytes.get() && m_n == other.m_n) return *this;
  RWBitVec copy(other);
  m_bytes = std::move(copy.m_bytes);
  m_n = copy.m_n;
  return *this;
}

RWBitVec& RWBitVec::operator=(RWBitVec&& other) noexcept {
  if (this != &other) {
    m_bytes = std::move(other.m_bytes);
    m_n = other.m_n;
    other.m_n = 0;
  }
  return *this;
}

RWBitVec& RWBitVec::operator=(bool value) {
  if (m_n) std::memset(m_bytes.get(), value ? 0xFF : 0, ByteCount(m_n));
  return *this;
}

bool RWBitVec::operator[](uint32_t i) const {
  if (i >= m_n) {
    RWRaiseIndex(i, m_n - 1);
    return false;
  }
  return testBit(i);
}

void RWBitVec::assignBit(uint32_t i, bool value) {
  if (i >= m_n) {
    RWRaiseIndex(i, m_n - 1);
    return;
  }
  if (value) {
    setBit(i);
  } else {
    clearBit(i);
  }
}

bool RWBitVec::operator==(const RWBitVec& other) const {
  if (m_n != other.m_n) return false;
  uint32_t full = m_n >> 3;
  if (full && std::memcmp(m_bytes.get(), other.m_bytes.get(), full) != 0) return false;
  if (m_n & 7) return ((m_bytes[full] ^ other.m_bytes[full]) & lastByteMask()) == 0;
  return true;
}

bool RWBitVec::operator==(bool value) const {
  uint32_t full = m_n >> 3;
  uint8_t want = value ? 0xFF : 0x00;
  for (uint32_t b = 0; b < full; ++b) {
    if (m_bytes[b] != want) return false;
  }
  if (m_n & 7) return ((m_bytes[full] ^ want) & lastByteMask()) == 0;
  return true;
}

bool RWBitVec::checkSameLength(const RWBitVec& other) const {
  if (m_n == other.m_n) return true;
  RWMessage message(RWTOOL_NEVECL(), static_cast<unsigned>(m_n), static_cast<unsigned>(other.m_n));
  RWInternalErr error(message);
  RWThrow(error);
  return false;
}

RWBitVec& RWBitVec::operator&=(const RWBitVec& other) {
  if (checkSameLength(other) && m_n) RWBitRunAnd(m_bytes.get(), other.m_bytes.get(), ByteCount(m_n));
  return *this;
}

RWBitVec& RWBitVec::operator|=(const RWBitVec& other) {
  if (checkSameLength(other) && m_n) RWBitRunOr(m_bytes.get(), other.m_bytes.get(), ByteCount(m_n));
  return *this;
}

RWBitVec& RWBitVec::operator^=(const RWBitVec& other) {
  if (checkSameLength(other) && m_n) RWBitRunXor(m_bytes.get(), other.m_bytes.get(), ByteCount(m_n));
  return *this;
}

// Resizing keeps the first bits; new bits read clear. When the old length ended
// inside a byte, that byte's unused bits may hold anything (a complement sets them),
// so they are cleared before they become used.
void RWBitVec::resize(uint32_t n) {
  uint32_t oldN = m_n;
  uint32_t oldBytes = ByteCount(oldN);
  uint32_t newBytes = ByteCount(n);
  m_n = n;
  if (newBytes != oldBytes) {
    std::unique_ptr<uint8_t[]> fresh;
    if (newBytes) {
      fresh.reset(new uint8_t[newBytes]());
      uint32_t keep = std::min(oldBytes, newBytes);
      if (keep) std::memcpy(fresh.get(), m_bytes.get(), keep);
    }
    m_bytes = std::move(fresh);
  }
  if (n > oldN && (oldN & 7)) {
    uint32_t last = oldN >> 3;
    m_bytes[last] = static_cast<uint8_t>(m_bytes[last] & ((1u << (oldN & 7)) - 1));
  }
}

uint32_t RWBitVec::sum() const {
  uint32_t full = m_n >> 3;
  uint32_t count = 0;
  for (uint32_t b = 0; b < full; ++b) count += static_cast<uint32_t>(std::popcount(unsigned{m_bytes[b]}));
  if (m_n & 7) count += static_cast<uint32_t>(std::popcount(unsigned(m_bytes[full] & lastByteMask())));
  return count;
}

uint32_t RWBitVec::hash() const {
  uint32_t h = m_n;
  uint32_t full = m_n >> 3;
  for (uint32_t b = 0; b < full; ++b) h = RotateLeft5(h) ^ m_bytes[b];
  if (m_n & 7) h = RotateLeft5(h) ^ uint32_t(m_bytes[full] & lastByteMask());
  return h;
}

RWBitVec operator&(const RWBitVec& a, const RWBitVec& b) {
  RWBitVec result(a);
  result &= b;
  return result;
}

RWBitVec operator|(const RWBitVec& a, const RWBitVec& b) {
  RWBitVec result(a);
  result |= b;
  return result;
}

RWBitVec operator^(const RWBitVec& a, const RWBitVec& b) {
  RWBitVec result(a);
  result ^= b;
  return result;
}

RWBitVec operator!(const RWBitVec& a) {
  RWBitVec result(a);
  uint8_t* bytes = result.data();
  uint32_t n = static_cast<uint32_t>((uint64_t{a.length()} + 7) >> 3);
  for (uint32_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(~bytes[i]);
  return result;
}

}  // namespace zentor
