#include "platform/binary_file.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace zentor::platform {
namespace {

// A fresh temporary file, removed at the end of the test.
class ScratchFile {
 public:
  ScratchFile() : m_path(CreateTemporaryFile("zbf")) {}
  ~ScratchFile() { RemoveFile(m_path); }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

std::string RandomBytes(std::mt19937& random, size_t count) {
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

TEST(BinaryFile, RoundTripsInRandomPieces) {
  const uint32_t seed = 4242;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  for (size_t size : {0u, 1u, 4095u, 4096u, 4097u, 100000u}) {
    SCOPED_TRACE("size " + std::to_string(size));
    ScratchFile scratch;
    ASSERT_FALSE(scratch.Path().empty());
    std::string data = RandomBytes(random, size);
    {
      BinaryFile file(scratch.Path(), FileOpenMode::CreateReadWrite);
      ASSERT_TRUE(file.IsOpen());
      for (size_t at = 0; at < size;) {
        size_t piece = std::min<size_t>(size - at, 1 + random() % 5000);
        ASSERT_EQ(file.Write(data.data() + at, piece), piece);
        at += piece;
      }
      EXPECT_EQ(file.Size(), static_cast<int64_t>(size));
      EXPECT_TRUE(file.Close());
    }
    EXPECT_EQ(FileSize(scratch.Path()), static_cast<int64_t>(size));
    BinaryFile file(scratch.Path(), FileOpenMode::ReadOnly);
    ASSERT_TRUE(file.IsOpen());
    std::string back(size + 10, '\0');
    EXPECT_EQ(file.Read(back.data(), back.size()), size);
    back.resize(size);
    EXPECT_EQ(back, data);
    EXPECT_EQ(file.Read(back.data(), 1), 0u);  // at the end
  }
}

// Random seeks, reads, writes and truncations against a std::string holding what the
// file should hold.
TEST(BinaryFile, SeekReadWriteMatchAStringModel) {
  const uint32_t seed = 777;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  ScratchFile scratch;
  BinaryFile file(scratch.Path(), FileOpenMode::ReadWrite);
  ASSERT_TRUE(file.IsOpen());
  std::string model;
  int64_t position = 0;
  for (int step = 0; step < 2000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    switch (random() % 5) {
      case 0: {  // seek from one of the three origins, sometimes before the start
        SeekOrigin origin = static_cast<SeekOrigin>(random() % 3);
        int64_t base = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? position : static_cast<int64_t>(model.size());
        int64_t offset = static_cast<int64_t>(random() % 3000) - 1500;
        int64_t target = base + offset;
        int64_t result = file.Seek(offset, origin);
        if (target < 0) {
          EXPECT_EQ(result, -1);
        } else {
          EXPECT_EQ(result, target);
          position = target;
        }
        break;
      }
      case 1:
      case 2: {  // write; past the end the gap reads as zeros
        std::string bytes = RandomBytes(random, random() % 700);
        ASSERT_EQ(file.Write(bytes.data(), bytes.size()), bytes.size());
        if (static_cast<size_t>(position) > model.size()) model.resize(static_cast<size_t>(position), '\0');
        if (!bytes.empty()) {
          if (model.size() < static_cast<size_t>(position) + bytes.size()) model.resize(static_cast<size_t>(position) + bytes.size());
          model.replace(static_cast<size_t>(position), bytes.size(), bytes);
        }
        position += static_cast<int64_t>(bytes.size());
        break;
      }
      case 3: {
        size_t want = random() % 900;
        std::string got(want, '\0');
        size_t read = file.Read(got.data(), want);
        size_t available = static_cast<size_t>(position) >= model.size() ? 0 : model.size() - static_cast<size_t>(position);
        ASSERT_EQ(read, std::min(want, available));
        got.resize(read);
        ASSERT_EQ(got, model.substr(std::min(static_cast<size_t>(position), model.size()), read));
        position += static_cast<int64_t>(read);
        break;
      }
      case 4: {
        if (random() % 4 != 0) break;  // truncations are rarer
        size_t size = random() % (model.size() + 500);
        ASSERT_TRUE(file.Truncate(static_cast<int64_t>(size)));
        model.resize(size, '\0');
        break;
      }
    }
    ASSERT_EQ(file.Tell(), position);
    ASSERT_EQ(file.Size(), static_cast<int64_t>(model.size()));
  }
  ASSERT_TRUE(file.Seek(0, SeekOrigin::Begin) == 0);
  std::string all(model.size(), '\0');
  EXPECT_EQ(file.Read(all.data(), all.size()), model.size());
  EXPECT_EQ(all, model);
}

TEST(BinaryFile, OpenModes) {
  ScratchFile scratch;
  std::string missing = scratch.Path() + ".missing";
  {
    BinaryFile file(scratch.Path(), FileOpenMode::CreateReadWrite);
    ASSERT_EQ(file.Write("hello", 5), 5u);
  }
  struct Case {
    const char* m_name;
    std::string m_path;
    FileOpenMode m_mode;
    bool m_opens;
    int64_t m_sizeAfterOpen;
    bool m_writable;
  };
  const Case cases[] = {
      {"read-only existing", scratch.Path(), FileOpenMode::ReadOnly, true, 5, false},
      {"read-write existing", scratch.Path(), FileOpenMode::ReadWrite, true, 5, true},
      {"open-or-create existing keeps", scratch.Path(), FileOpenMode::OpenOrCreate, true, 5, true},
      {"read-only missing", missing, FileOpenMode::ReadOnly, false, -1, false},
      {"read-write missing", missing, FileOpenMode::ReadWrite, false, -1, false},
      {"directory", TemporaryDirectory(), FileOpenMode::ReadOnly, false, -1, false},
      {"empty name", "", FileOpenMode::ReadOnly, false, -1, false},
      {"create empties existing", scratch.Path(), FileOpenMode::CreateReadWrite, true, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    BinaryFile file;
    EXPECT_EQ(file.Open(c.m_path, c.m_mode), c.m_opens);
    EXPECT_EQ(file.IsOpen(), c.m_opens);
    EXPECT_EQ(file.Size(), c.m_sizeAfterOpen);
    EXPECT_EQ(file.IsWritable(), c.m_writable);
    // A read-only or closed file takes no bytes.
    if (!c.m_writable) {
      EXPECT_EQ(file.Write("x", 1), 0u);
    }
  }
  EXPECT_FALSE(FileExists(missing));
  BinaryFile created(missing, FileOpenMode::OpenOrCreate);
  EXPECT_TRUE(created.IsOpen());
  EXPECT_EQ(created.Size(), 0);
  created.Close();
  EXPECT_TRUE(RemoveFile(missing));
}

TEST(BinaryFile, MovedFileKeepsItsHandle) {
  ScratchFile scratch;
  BinaryFile first(scratch.Path(), FileOpenMode::ReadWrite);
  ASSERT_TRUE(first.IsOpen());
  BinaryFile second(std::move(first));
  EXPECT_FALSE(first.IsOpen());
  EXPECT_EQ(second.Path(), scratch.Path());
  EXPECT_EQ(second.Write("abc", 3), 3u);
  BinaryFile third;
  third = std::move(second);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(third.Tell(), 3);
  EXPECT_TRUE(third.Close());
  EXPECT_TRUE(third.Close());  // closing a closed file is harmless
  EXPECT_EQ(third.Tell(), -1);
  EXPECT_EQ(FileSize(scratch.Path()), 3);
}

// Files created as temporaries stay open: each has a name of its own in the directory
// asked for, starting with the prefix, is empty, and reads back what was written
// through the same object; another file's name is never reused while it exists. A
// directory that does not exist gives none.
TEST(BinaryFile, TemporaryFilesAreCreatedOpen) {
  std::set<std::string> names;
  for (const std::string& directory : {std::string(), TemporaryDirectory()}) {
    for (int i = 0; i < 20; ++i) {
      BinaryFile file;
      ASSERT_TRUE(file.CreateTemporary("zbt", directory));
      const std::string name = file.Path();
      EXPECT_TRUE(names.insert(name).second) << name << " given twice";
      EXPECT_EQ(name.compare(0, TemporaryDirectory().size(), TemporaryDirectory()), 0) << name;
      EXPECT_NE(name.find("zbt", TemporaryDirectory().size()), std::string::npos) << name;
      EXPECT_TRUE(file.IsWritable());
      EXPECT_EQ(file.Size(), 0);
      ASSERT_EQ(file.Write("page", 4), 4u);
      ASSERT_EQ(file.Seek(0, SeekOrigin::Begin), 0);
      char back[4] = {};
      ASSERT_EQ(file.Read(back, 4), 4u);
      EXPECT_EQ(std::string(back, 4), "page");
      EXPECT_TRUE(file.Close());
      EXPECT_EQ(FileSize(name), 4);
    }
  }
  for (const std::string& name : names) EXPECT_TRUE(RemoveFile(name));
  BinaryFile nowhere;
  EXPECT_FALSE(nowhere.CreateTemporary("zbt", TemporaryDirectory() + "/zentor-no-such-directory"));
  EXPECT_FALSE(nowhere.IsOpen());
}

}  // namespace
}  // namespace zentor::platform
