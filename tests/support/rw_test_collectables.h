#pragma once
// Collectables for the class-library tests: an int key with value equality and a
// stored form, and a counter of live objects so a test can see what was deleted.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "support/rw_collectable.h"
#include "support/rw_file.h"
#include "support/rw_vstream.h"

namespace zentor::testing_support {

inline constexpr RWClassID kTestKeyID = 0x7001;

class TestKey : public RWCollectable {
 public:
  TestKey() { ++s_live; }
  explicit TestKey(int key) : m_key(key) { ++s_live; }
  TestKey(const TestKey& other) : RWCollectable(other), m_key(other.m_key) { ++s_live; }
  ~TestKey() override { --s_live; }

  RWCollectable* newSpecies() const override { return new TestKey(); }
  RWCollectable* copy() const override { return new TestKey(*this); }
  RWClassID isA() const override { return kTestKeyID; }
  uint32_t binaryStoreSize() const override { return 4; }
  int compareTo(const RWCollectable* other) const override {
    int otherKey = static_cast<const TestKey*>(other)->m_key;
    return m_key < otherKey ? -1 : (m_key > otherKey ? 1 : 0);
  }
  // Few distinct hashes, so buckets hold several keys.
  uint32_t hash() const override { return static_cast<uint32_t>(m_key) * 2654435761u >> 28; }
  bool isEqual(const RWCollectable* other) const override {
    return other != nullptr && other->isA() == kTestKeyID && static_cast<const TestKey*>(other)->m_key == m_key;
  }
  void saveGuts(RWFile& file) const override { file.Write(m_key); }
  void restoreGuts(RWFile& file) override { file.Read(m_key); }
  void saveGuts(RWvostream& stream) const override { stream << m_key; }
  void restoreGuts(RWvistream& stream) override { stream >> m_key; }

  int key() const { return m_key; }
  static int live() { return s_live; }

 private:
  int m_key = 0;
  static inline int s_live = 0;
};

inline int KeyOf(const RWCollectable* item) { return static_cast<const TestKey*>(item)->key(); }

// A fresh path in the temporary directory, removed again when the test ends.
class TempFileName {
 public:
  explicit TempFileName(const std::string& stem) {
    static int counter = 0;
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    m_name = (std::filesystem::temp_directory_path() /
              ("zentor_collections_" + std::to_string(stamp) + "_" + std::to_string(++counter) + "_" + stem))
                 .string();
    std::error_code ignored;
    std::filesystem::remove(m_name, ignored);
  }
  ~TempFileName() {
    std::error_code ignored;
    std::filesystem::remove(m_name, ignored);
  }
  TempFileName(const TempFileName&) = delete;
  TempFileName& operator=(const TempFileName&) = delete;
  const char* c_str() const { return m_name.c_str(); }
  const std::string& str() const { return m_name; }

 private:
  std::string m_name;
};

}  // namespace zentor::testing_support
