#include "support/rw_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace zentor {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

// A fresh path in the temporary directory, removed again when the test ends.
class TempPath {
 public:
  explicit TempPath(const char* tag) {
    static int counter = 0;
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    m_path = fs::temp_directory_path() /
             ("zentor_rwfile_" + std::to_string(stamp) + "_" + std::to_string(++counter) + "_" + tag);
    std::error_code ignored;
    fs::remove(m_path, ignored);
  }
  ~TempPath() {
    std::error_code ignored;
    fs::remove(m_path, ignored);
  }
  std::string str() const { return m_path.string(); }
  const char* c_str() {
    m_text = str();
    return m_text.c_str();
  }

 private:
  fs::path m_path;
  std::string m_text;
};

Bytes FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(RWFile, OpeningCreatesOrUpdatesAsAsked) {
  {
    TempPath path("create");
    EXPECT_FALSE(RWFile::Exists(path.c_str()));
    RWFile file(path.c_str());
    ASSERT_TRUE(file.isValid());
    EXPECT_TRUE(file.Exists());
    EXPECT_TRUE(file.IsEmpty());
    EXPECT_STREQ(file.GetName(), path.c_str());
  }
  {
    // With no mode an existing file is opened for update, not truncated.
    TempPath path("update");
    PutFileBytes(path.str(), {1, 2, 3});
    {
      RWFile file(path.c_str());
      ASSERT_TRUE(file.isValid());
      EXPECT_FALSE(file.IsEmpty());
      unsigned char first = 0;
      EXPECT_TRUE(file.Read(first));
      EXPECT_EQ(first, 1);
    }
    EXPECT_EQ(FileBytes(path.str()), (Bytes{1, 2, 3}));
  }
  {
    // A given mode is used alone: "rb" does not fall back to creating.
    TempPath path("readonly");
    RWFile file(path.c_str(), "rb");
    EXPECT_FALSE(file.isValid());
    EXPECT_FALSE(RWFile::Exists(path.c_str()));
  }
  {
    TempPath path("truncate");
    PutFileBytes(path.str(), {9, 9});
    RWFile file(path.c_str(), "wb+");
    ASSERT_TRUE(file.isValid());
    EXPECT_TRUE(file.IsEmpty());
  }
}

TEST(RWFile, EveryValueHasItsLittleEndianLayout) {
  struct Case {
    const char* name;
    void (*write)(RWFile&);
    bool (*readBack)(RWFile&);
    Bytes bytes;
  };
  const Case cases[] = {
      {"char", [](RWFile& f) { EXPECT_TRUE(f.Write('A')); },
       [](RWFile& f) { char v = 0; return f.Read(v) && v == 'A'; }, {0x41}},
      {"signed char", [](RWFile& f) { EXPECT_TRUE(f.Write(static_cast<signed char>(-2))); },
       [](RWFile& f) { signed char v = 0; return f.Read(v) && v == -2; }, {0xFE}},
      {"unsigned char", [](RWFile& f) { EXPECT_TRUE(f.Write(static_cast<unsigned char>(0xAB))); },
       [](RWFile& f) { unsigned char v = 0; return f.Read(v) && v == 0xAB; }, {0xAB}},
      {"short", [](RWFile& f) { EXPECT_TRUE(f.Write(static_cast<short>(-2))); },
       [](RWFile& f) { short v = 0; return f.Read(v) && v == -2; }, {0xFE, 0xFF}},
      {"unsigned short", [](RWFile& f) { EXPECT_TRUE(f.Write(static_cast<unsigned short>(0x1234))); },
       [](RWFile& f) { unsigned short v = 0; return f.Read(v) && v == 0x1234; }, {0x34, 0x12}},
      {"int", [](RWFile& f) { EXPECT_TRUE(f.Write(-2)); },
       [](RWFile& f) { int v = 0; return f.Read(v) && v == -2; }, {0xFE, 0xFF, 0xFF, 0xFF}},
      {"unsigned int", [](RWFile& f) { EXPECT_TRUE(f.Write(0x12345678u)); },
       [](RWFile& f) { unsigned v = 0; return f.Read(v) && v == 0x12345678u; }, {0x78, 0x56, 0x34, 0x12}},
      {"long", [](RWFile& f) { EXPECT_TRUE(f.Write(-2L)); },
       [](RWFile& f) { long v = 0; return f.Read(v) && v == -2L; }, {0xFE, 0xFF, 0xFF, 0xFF}},
      {"long minimum", [](RWFile& f) { EXPECT_TRUE(f.Write(static_cast<long>(INT32_MIN))); },
       [](RWFile& f) { long v = 0; return f.Read(v) && v == static_cast<long>(INT32_MIN); },
       {0x00, 0x00, 0x00, 0x80}},
      {"unsigned long", [](RWFile& f) { EXPECT_TRUE(f.Write(0x89ABCDEFul)); },
       [](RWFile& f) { unsigned long v = 0; return f.Read(v) && v == 0x89ABCDEFul; }, {0xEF, 0xCD, 0xAB, 0x89}},
      {"float", [](RWFile& f) { EXPECT_TRUE(f.Write(1.5f)); },
       [](RWFile& f) { float v = 0; return f.Read(v) && v == 1.5f; }, {0x00, 0x00, 0xC0, 0x3F}},
      {"double", [](RWFile& f) { EXPECT_TRUE(f.Write(-2.5)); },
       [](RWFile& f) { double v = 0; return f.Read(v) && v == -2.5; },
       {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0xC0}},
      {"string", [](RWFile& f) { EXPECT_TRUE(f.Write("abc")); },
       [](RWFile& f) { char v[8] = "zzzzzzz"; return f.Read(v) && std::strcmp(v, "abc") == 0; },
       {0x61, 0x62, 0x63, 0x00}},
      {"empty string", [](RWFile& f) { EXPECT_TRUE(f.Write("")); },
       [](RWFile& f) { char v[4] = "zzz"; return f.Read(v) && v[0] == '\0'; }, {0x00}},
      {"char array", [](RWFile& f) { EXPECT_TRUE(f.Write("a\0b", 3)); },
       [](RWFile& f) { char v[3] = {}; return f.Read(v, 3) && v[0] == 'a' && v[1] == 0 && v[2] == 'b'; },
       {0x61, 0x00, 0x62}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempPath path("layout");
    {
      RWFile file(path.c_str());
      ASSERT_TRUE(file.isValid());
      c.write(file);
      EXPECT_EQ(file.CurOffset(), static_cast<long>(c.bytes.size()));
      ASSERT_TRUE(file.SeekTo(0));
      EXPECT_TRUE(c.readBack(file));
      EXPECT_EQ(file.CurOffset(), static_cast<long>(c.bytes.size()));
    }
    EXPECT_EQ(FileBytes(path.str()), c.bytes);
  }
}

// Random arrays of every element type go out and come back unchanged, and the bytes
// on the file are those of an independent little-endian encoding. The counts cross
// the internal block size.
template <typename T, size_t Size>
void CheckArrayRoundTrip(const char* name, std::mt19937& random) {
  SCOPED_TRACE(name);
  for (size_t count : {size_t{0}, size_t{1}, size_t{255}, size_t{1025}, size_t{3000}}) {
    SCOPED_TRACE(count);
    std::vector<T> values(count);
    Bytes expected;
    for (T& v : values) {
      uint64_t raw = (static_cast<uint64_t>(random()) << 32) | random();
      if constexpr (std::is_same_v<T, float>) {
        v = static_cast<float>(static_cast<int32_t>(raw)) / 7.0f;
      } else if constexpr (std::is_same_v<T, double>) {
        v = static_cast<double>(static_cast<int64_t>(raw)) / 13.0;
      } else if constexpr (std::is_signed_v<T>) {
        // Values a 4-byte file slot can hold, whatever the host's long is.
        int64_t bits = static_cast<int64_t>(raw << (64 - Size * 8)) >> (64 - Size * 8);
        v = static_cast<T>(bits);
      } else {
        v = static_cast<T>(Size == 8 ? raw : raw & ((uint64_t{1} << (Size * 8)) - 1));
      }
      uint64_t image = 0;
      if constexpr (std::is_floating_point_v<T>) {
        std::memcpy(&image, &v, sizeof v);
      } else {
        image = static_cast<uint64_t>(v);
      }
      for (size_t i = 0; i < Size; ++i) expected.push_back(static_cast<unsigned char>(image >> (8 * i)));
    }
    TempPath path("array");
    {
      RWFile file(path.c_str());
      ASSERT_TRUE(file.isValid());
      EXPECT_TRUE(file.Write(values.data(), count));
      ASSERT_TRUE(file.SeekTo(0));
      std::vector<T> back(count + 1);
      EXPECT_TRUE(file.Read(back.data(), count));
      back.pop_back();
      EXPECT_TRUE(back == values);
      // Nothing is left: one more value cannot be read.
      T extra{};
      EXPECT_FALSE(file.Read(extra));
      EXPECT_TRUE(file.Eof());
    }
    EXPECT_EQ(FileBytes(path.str()), expected);
  }
}

TEST(RWFile, ArraysRoundTripAgainstAnIndependentEncoding) {
  const uint32_t seed = 20240611;
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  CheckArrayRoundTrip<char, 1>("char", random);
  CheckArrayRoundTrip<signed char, 1>("signed char", random);
  CheckArrayRoundTrip<unsigned char, 1>("unsigned char", random);
  CheckArrayRoundTrip<short, 2>("short", random);
  CheckArrayRoundTrip<unsigned short, 2>("unsigned short", random);
  CheckArrayRoundTrip<int, 4>("int", random);
  CheckArrayRoundTrip<unsigned int, 4>("unsigned int", random);
  CheckArrayRoundTrip<long, 4>("long", random);
  CheckArrayRoundTrip<unsigned long, 4>("unsigned long", random);
  CheckArrayRoundTrip<float, 4>("float", random);
  CheckArrayRoundTrip<double, 8>("double", random);
}

TEST(RWFile, LongsThatDoNotFitFourBytesAreRefusedWhole) {
  if constexpr (sizeof(long) > 4) {
    TempPath path("wide");
    RWFile file(path.c_str());
    ASSERT_TRUE(file.isValid());
    const long tooBig = static_cast<long>(INT32_MAX) + 1;
    const long tooSmall = static_cast<long>(INT32_MIN) - 1;
    EXPECT_FALSE(file.Write(tooBig));
    EXPECT_FALSE(file.Write(tooSmall));
    EXPECT_FALSE(file.Write(static_cast<unsigned long>(UINT32_MAX) + 1));
    const long mixed[] = {1, 2, tooBig};
    EXPECT_FALSE(file.Write(mixed, 3));
    EXPECT_TRUE(file.IsEmpty());
    EXPECT_TRUE(file.Write(static_cast<unsigned long>(UINT32_MAX)));
    EXPECT_EQ(file.CurOffset(), 4);
  } else {
    GTEST_SKIP() << "long is 4 bytes on this host";
  }
}

TEST(RWFile, ShortFilesFailReadsButDeliverWhatWasThere) {
  TempPath path("short");
  PutFileBytes(path.str(), {0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00});
  RWFile file(path.c_str());
  ASSERT_TRUE(file.isValid());
  int values[4] = {-1, -1, -1, -1};
  EXPECT_FALSE(file.Read(values, 4));
  EXPECT_EQ(values[0], 1);
  EXPECT_EQ(values[1], 2);
  EXPECT_EQ(values[3], -1);
  EXPECT_TRUE(file.Eof());
  EXPECT_FALSE(file.Error());

  ASSERT_TRUE(file.SeekTo(8));
  EXPECT_FALSE(file.Eof());
  double wide = 0;
  EXPECT_FALSE(file.Read(wide));
  ASSERT_TRUE(file.SeekTo(8));
  short last = 0;
  EXPECT_TRUE(file.Read(last));
  EXPECT_EQ(last, 3);
}

TEST(RWFile, StringReadNeverOverrunsAndConsumesTheWholeString) {
  struct Case {
    const char* name;
    Bytes content;
    size_t capacity;
    std::vector<std::string> expected;  // buffer after each read
    std::vector<bool> results;
    std::vector<long> offsets;
  };
  const Case cases[] = {
      {"fits", {'a', 'b', 'c', 0, 'x'}, 10, {"abc"}, {true}, {4}},
      {"exactly fits with its NUL", {'a', 'b', 'c', 0}, 4, {"abc"}, {true}, {4}},
      {"cut by one", {'a', 'b', 'c', 0, 'x'}, 3, {"ab"}, {false}, {4}},
      {"capacity one", {'a', 'b', 0}, 1, {""}, {false}, {3}},
      {"ended by the file", {'a', 'b', 'c'}, 10, {"abc"}, {true}, {3}},
      {"empty string", {0, 'q', 0}, 10, {"", "q"}, {true, true}, {1, 3}},
      {"at end of file", {}, 10, {""}, {false}, {0}},
      {"two cut strings stay in step", {'a', 'b', 0, 'c', 'd', 0}, 2, {"a", "c"}, {false, false}, {3, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempPath path("string");
    PutFileBytes(path.str(), c.content);
    RWFile file(path.c_str());
    ASSERT_TRUE(file.isValid());
    for (size_t i = 0; i < c.expected.size(); ++i) {
      // Guard bytes after the stated capacity catch any write past it.
      std::vector<char> buffer(c.capacity + 8, '#');
      EXPECT_EQ(file.Read(buffer.data(), RWFile::Capacity(c.capacity)), c.results[i]);
      EXPECT_EQ(std::string(buffer.data()), c.expected[i]);
      for (size_t g = c.capacity; g < buffer.size(); ++g) ASSERT_EQ(buffer[g], '#') << "overrun at " << g;
      EXPECT_EQ(file.CurOffset(), c.offsets[i]);
    }
  }

  // Capacity 0 stores nothing at all, but still moves past the string.
  TempPath path("string0");
  PutFileBytes(path.str(), {'a', 0, 'b', 0});
  RWFile file(path.c_str());
  char guard = '#';
  EXPECT_FALSE(file.Read(&guard, RWFile::Capacity(0)));
  EXPECT_EQ(guard, '#');
  EXPECT_EQ(file.CurOffset(), 2);
  EXPECT_FALSE(file.Write(static_cast<const char*>(nullptr)));
}

TEST(RWFile, ReadsAndWritesMayFollowEachOtherWithoutASeek) {
  TempPath path("mixed");
  PutFileBytes(path.str(), {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0});
  {
    RWFile file(path.c_str());
    ASSERT_TRUE(file.isValid());
    EXPECT_TRUE(file.Write(0x11));  // overwrites the first int
    int second = 0;
    EXPECT_TRUE(file.Read(second));  // reads on from where the write ended
    EXPECT_EQ(second, 2);
    EXPECT_TRUE(file.Write(0x33));  // overwrites the third
    EXPECT_EQ(file.CurOffset(), 12);
    EXPECT_TRUE(file.SeekToEnd());
    EXPECT_TRUE(file.Write(static_cast<short>(0x4444)));
    EXPECT_TRUE(file.Flush());
  }
  EXPECT_EQ(FileBytes(path.str()), (Bytes{0x11, 0, 0, 0, 2, 0, 0, 0, 0x33, 0, 0, 0, 0x44, 0x44}));
}

TEST(RWFile, EraseEmptiesTheFileAndKeepsTheName) {
  TempPath path("erase");
  RWFile file(path.c_str());
  ASSERT_TRUE(file.isValid());
  EXPECT_TRUE(file.Write("some text"));
  // Bytes still in the write buffer make the file non-empty.
  EXPECT_FALSE(file.IsEmpty());
  EXPECT_EQ(file.CurOffset(), 10);
  EXPECT_TRUE(file.Erase());
  EXPECT_TRUE(file.isValid());
  EXPECT_TRUE(file.IsEmpty());
  EXPECT_STREQ(file.GetName(), path.c_str());
  EXPECT_EQ(file.CurOffset(), 0);
  EXPECT_TRUE(file.Write(7));
  EXPECT_TRUE(file.Flush());
  EXPECT_EQ(FileBytes(path.str()), (Bytes{7, 0, 0, 0}));
}

TEST(RWFile, PositioningReportsFailures) {
  TempPath path("seek");
  RWFile file(path.c_str());
  ASSERT_TRUE(file.isValid());
  EXPECT_TRUE(file.Write(1.0));
  EXPECT_FALSE(file.SeekTo(-1));
  EXPECT_TRUE(file.SeekTo(3));
  EXPECT_EQ(file.CurOffset(), 3);
  EXPECT_TRUE(file.SeekToEnd());
  EXPECT_EQ(file.CurOffset(), 8);
  EXPECT_FALSE(file.Eof());
  EXPECT_FALSE(file.Error());
}

TEST(RWFile, AFileThatFailedToOpenAnswersFailureEverywhere) {
  TempPath path("missing");
  RWFile file(path.c_str(), "rb+");
  ASSERT_FALSE(file.isValid());
  int value = 5;
  char text[4] = "xyz";
  EXPECT_FALSE(file.Read(value));
  EXPECT_EQ(value, 5);
  EXPECT_FALSE(file.Read(text));
  EXPECT_STREQ(text, "xyz");
  EXPECT_FALSE(file.Write(value));
  EXPECT_FALSE(file.Write("abc"));
  EXPECT_FALSE(file.Flush());
  EXPECT_FALSE(file.IsEmpty());
  EXPECT_FALSE(file.SeekTo(0));
  EXPECT_FALSE(file.SeekToEnd());
  EXPECT_EQ(file.CurOffset(), -1);
  EXPECT_TRUE(file.Error());
  EXPECT_FALSE(file.Exists());
  EXPECT_FALSE(RWFile::Exists(""));
  EXPECT_FALSE(RWFile::Exists(nullptr));
}

}  // namespace
}  // namespace zentor
