// The loaders' buffered input file against the bytes of the file itself: random
// sequences of seeks and reads of every size (across and beyond the buffers, back and
// forth between two places of a file larger than both, past the end of the file)
// compared with a model over a std::string, and the edge
// cases of failing reads, copies that share the file, opening and closing.

#include "symbols/loader_input_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "symbols/symbol_context_test_support.h"

namespace zentor {
namespace {

using testing_support::ForeignSpelling;
using testing_support::ScratchTree;

std::string RandomBytes(std::mt19937& random, size_t count) {
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// What a reader of the file must see: position, status and the bytes of each read.
struct Model {
  const std::string& bytes;
  int64_t position = 0;
  bool good = true;

  // The bytes a read of `count` gives (zeros for a failed one); moves the model.
  std::string Read(uint32_t count) {
    if (!good) return std::string(count, '\0');
    if (count == 0) return std::string();
    if (position + count > static_cast<int64_t>(bytes.size())) {
      good = false;
      return std::string(count, '\0');
    }
    std::string got = bytes.substr(static_cast<size_t>(position), count);
    position += count;
    return got;
  }
  void Seek(int64_t offset, uint32_t origin) {
    const int64_t base = origin == 0 ? 0 : origin == 1 ? position : static_cast<int64_t>(bytes.size());
    const int64_t target = base + offset;
    if (target < 0 || target > static_cast<int64_t>(UINT32_MAX)) {
      good = false;
      return;
    }
    position = target;
  }
};

uint64_t LittleEndian(const std::string& bytes) {
  uint64_t value = 0;
  for (size_t i = bytes.size(); i > 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[i - 1]);
  return value;
}

TEST(LoaderInputFileTest, RandomReadsAndSeeksMatchTheFile) {
  ScratchTree tree;
  const uint32_t seed = 0x51DE;
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  constexpr size_t kBuffer = LoaderInputFile::kBufferSize;
  for (size_t size : {size_t{0}, size_t{1}, size_t{1023}, size_t{1024}, size_t{1025}, size_t{5000}, kBuffer - 1,
                      kBuffer + 1, 3 * kBuffer + 5000}) {
    SCOPED_TRACE("file of " + std::to_string(size) + " bytes");
    const std::string bytes = RandomBytes(random, size);
    const std::string path = tree.Write("r" + std::to_string(size) + ".bin", bytes);
    LoaderInputFile file;
    ASSERT_EQ(file.Open(path.c_str()), 1u);
    Model model{bytes};
    for (int step = 0; step < 3000; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      const uint32_t op = random() % 10;
      if (op == 0) {
        const uint32_t origin = random() % 3;
        const int64_t offset = static_cast<int64_t>(random() % (size + 2100)) - 1050;
        file.Seek(offset, origin);
        model.Seek(offset, origin);
      } else if (op == 1) {
        file.SetGood();
        model.good = true;
      } else if (op <= 5) {
        // Byte strings: small ones inside the buffer, long ones across or past it.
        const uint32_t count = op == 5 ? (random() % 8 == 0 ? random() % (kBuffer + 3000) : random() % 3000)
                                       : random() % 40;
        std::vector<uint8_t> got(count + 1, 0xAA);
        file.Read(got.data(), count);
        const std::string expected = model.Read(count);
        ASSERT_EQ(std::string(got.begin(), got.begin() + count), expected);
        ASSERT_EQ(got[count], 0xAA) << "read beyond the count";
      } else {
        const uint32_t which = random() % 4;
        uint64_t value = 0;
        if (which == 0) {
          uint8_t v = 0;
          file.Read(v);
          value = v;
        } else if (which == 1) {
          uint16_t v = 0;
          file.Read(v);
          value = v;
        } else if (which == 2) {
          uint32_t v = 0;
          file.Read(v);
          value = v;
        } else {
          file.Read(value);
        }
        ASSERT_EQ(value, LittleEndian(model.Read(1u << which)));
      }
      ASSERT_EQ(file.Status(), model.good ? 1u : 0u);
      ASSERT_EQ(file.Tell(), static_cast<uint32_t>(model.position));
    }
  }
}

TEST(LoaderInputFileTest, SignedAndUnsignedValues) {
  ScratchTree tree;
  const std::string path = tree.Write("v.bin", std::string("\x81\x82\x83\x84\x85\x86\x87\xF8", 8));
  LoaderInputFile file;
  ASSERT_EQ(file.Open(path.c_str()), 1u);
  struct Case {
    const char* name;
    int64_t expected;
    int64_t (*read)(LoaderInputFile&);
  } cases[] = {
      {"int8", -127, [](LoaderInputFile& f) -> int64_t { int8_t v; f.Read(v); return v; }},
      {"char", static_cast<char>(0x81), [](LoaderInputFile& f) -> int64_t { char v; f.Read(v); return v; }},
      {"uint8", 0x81, [](LoaderInputFile& f) -> int64_t { uint8_t v; f.Read(v); return v; }},
      {"int16", static_cast<int16_t>(0x8281), [](LoaderInputFile& f) -> int64_t { int16_t v; f.Read(v); return v; }},
      {"uint16", 0x8281, [](LoaderInputFile& f) -> int64_t { uint16_t v; f.Read(v); return v; }},
      {"int32", static_cast<int32_t>(0x84838281u),
       [](LoaderInputFile& f) -> int64_t { int32_t v; f.Read(v); return v; }},
      {"uint32", 0x84838281, [](LoaderInputFile& f) -> int64_t { uint32_t v; f.Read(v); return v; }},
      {"int64", static_cast<int64_t>(0xF887868584838281ull),
       [](LoaderInputFile& f) -> int64_t { int64_t v; f.Read(v); return v; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    file.Seek(0, LoaderInputFile::kFromStart);
    EXPECT_EQ(c.read(file), c.expected);
    EXPECT_TRUE(file.IsGood());
  }
}

TEST(LoaderInputFileTest, FailedReadsAndRecovery) {
  ScratchTree tree;
  std::string bytes;
  for (int i = 0; i < 20; ++i) bytes.push_back(static_cast<char>(i));
  const std::string path = tree.Write("f.bin", bytes);
  LoaderInputFile file;
  ASSERT_EQ(file.Open(path.c_str()), 1u);

  // Eight bytes at three before the end: bad, the position stays, the value is 0.
  file.Seek(-3, LoaderInputFile::kFromEnd);
  uint64_t value = 0xFFFF;
  file.Read(value);
  EXPECT_EQ(file.Status(), 0u);
  EXPECT_EQ(file.Tell(), 17u);
  EXPECT_EQ(value, 0u);
  // A bad file ignores reads, even ones that would fit.
  uint8_t one = 0xEE;
  file.Read(one);
  EXPECT_EQ(one, 0u);
  EXPECT_EQ(file.Tell(), 17u);
  // Set good again, the next seek and read succeed.
  file.SetGood();
  file.Seek(4, LoaderInputFile::kFromStart);
  uint32_t word = 0;
  file.Read(word);
  EXPECT_TRUE(file.IsGood());
  EXPECT_EQ(word, 0x07060504u);
  // Without a seek, a read after recovery starts where the good position stood.
  file.Seek(-3, LoaderInputFile::kFromEnd);
  file.Read(value);
  file.SetGood();
  file.Read(one);
  EXPECT_EQ(one, 17u);
  // Seeks before the start or past 32 bits fail and leave the position.
  struct Seek {
    const char* name;
    int64_t offset;
    uint32_t origin;
  } bad[] = {{"before the start", -1, 0},
             {"before the start from the end", -21, 2},
             {"past 32 bits", int64_t{1} << 32, 0},
             {"overflowing", INT64_MAX, 1},
             {"unknown origin", 0, 3}};
  for (const Seek& s : bad) {
    SCOPED_TRACE(s.name);
    file.SetGood();
    file.Seek(5, LoaderInputFile::kFromStart);
    file.Seek(s.offset, s.origin);
    EXPECT_EQ(file.Status(), 0u);
    EXPECT_EQ(file.Tell(), 5u);
  }
  // Past the end is a place; reads there fail.
  file.SetGood();
  file.Seek(100, LoaderInputFile::kFromStart);
  EXPECT_TRUE(file.IsGood());
  EXPECT_EQ(file.Tell(), 100u);
  file.Read(one);
  EXPECT_FALSE(file.IsGood());
  // A read of nothing succeeds anywhere.
  file.SetGood();
  file.Read(&one, 0);
  EXPECT_TRUE(file.IsGood());
}

TEST(LoaderInputFileTest, OpenAndClose) {
  ScratchTree tree;
  const std::string path = tree.Write("dir/O.BIN", "0123456789");
  struct Case {
    const char* name;
    std::string spelling;
    uint32_t opened;
  } cases[] = {
      {"as written", path, 1},
      {"as a Windows user writes it", ForeignSpelling(path), 1},
      {"missing", tree.Root() + "/dir/none.bin", 0},
      {"a directory", tree.Root() + "/dir", 0},
      {"empty name", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoaderInputFile file;
    EXPECT_EQ(file.Open(c.spelling.c_str()), c.opened);
    EXPECT_EQ(file.Status(), c.opened);
    EXPECT_EQ(file.IsOpen(), c.opened == 1);
    uint64_t size = 0;
    EXPECT_EQ(file.Size(size), c.opened == 1);
    if (c.opened == 1) {
      EXPECT_EQ(size, 10u);
    }
    int64_t modified = 0;
    EXPECT_EQ(file.ModificationTime(modified), c.opened == 1);
    uint8_t byte = 0x55;
    file.Read(byte);
    EXPECT_EQ(byte, c.opened == 1 ? '0' : 0);
    EXPECT_EQ(file.Close(), 1u);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Tell(), 0u);
    // A closed file reads nothing.
    file.Read(byte);
    EXPECT_EQ(byte, 0u);
  }
  LoaderInputFile never;
  EXPECT_EQ(never.Close(), 1u);
  // Opening again closes the file open before.
  LoaderInputFile twice;
  ASSERT_EQ(twice.Open(path.c_str()), 1u);
  twice.Seek(5, LoaderInputFile::kFromStart);
  ASSERT_EQ(twice.Open(path.c_str()), 1u);
  EXPECT_EQ(twice.Tell(), 0u);
  EXPECT_EQ(twice.Open((tree.Root() + "/none").c_str()), 0u);
  EXPECT_FALSE(twice.IsOpen());
}

// Copies share the file and its buffer but read their own places.
TEST(LoaderInputFileTest, CopiesReadTheirOwnPlaces) {
  ScratchTree tree;
  std::mt19937 random(77);
  const std::string bytes = RandomBytes(random, 4000);
  const std::string path = tree.Write("c.bin", bytes);
  auto original = std::make_unique<LoaderInputFile>();
  ASSERT_EQ(original->Open(path.c_str()), 1u);
  original->Seek(100, LoaderInputFile::kFromStart);
  LoaderInputFile copy;
  copy.CopyFrom(*original);
  EXPECT_EQ(copy.Tell(), 100u);
  copy.Seek(3000, LoaderInputFile::kFromStart);
  std::string a(10, '\0');
  std::string b(10, '\0');
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE(round);
    const uint32_t at = original->Tell();
    const uint32_t bt = copy.Tell();
    original->Read(a.data(), 10);
    copy.Read(b.data(), 10);
    ASSERT_EQ(a, bytes.substr(at, 10));
    ASSERT_EQ(b, bytes.substr(bt, 10));
  }
  // The copy goes on reading after the original closed.
  EXPECT_EQ(original->Close(), 1u);
  original.reset();
  copy.Seek(0, LoaderInputFile::kFromStart);
  copy.Read(b.data(), 10);
  EXPECT_TRUE(copy.IsGood());
  EXPECT_EQ(b, bytes.substr(0, 10));
  // A bad copy does not make the other bad.
  LoaderInputFile third;
  third.CopyFrom(copy);
  third.Seek(-1, LoaderInputFile::kFromStart);
  EXPECT_FALSE(third.IsGood());
  EXPECT_TRUE(copy.IsGood());
}

}  // namespace
}  // namespace zentor
