// The settings store's file: its bytes for the empty store and two known records,
// the operations' result codes, renaming, compaction, nested files and the default
// file, list batches against guard bytes, and damaged files: each opens, keeps what
// was sound, tells message 10 and leaves the damage behind it.
#include "gui/dialog_description_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/dialog_records.h"
#include "harness/session/console_session.h"
#include "store_test_support.h"

namespace zentor {
namespace {

using testing_support::ScratchDirectory;

std::string U32(uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}

uint32_t LoadWord(const std::string& bytes, std::size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// The directory's offsets as the file holds them.
std::vector<int32_t> OffsetsIn(const std::string& file) {
  const uint32_t count = LoadWord(file, file.size() - 4);
  std::vector<int32_t> offsets;
  for (uint32_t i = 0; i < count; ++i) {
    offsets.push_back(static_cast<int32_t>(LoadWord(file, file.size() - 4 - 4 * (count - i))));
  }
  return offsets;
}

const std::string kEmptyStore =
    U32(0x89ABCDEF) + std::string("Dialog Description File Manager V1.0") + '\0' + U32(0) + U32(0) + U32(0);

class DialogDescriptionFileTest : public testing::Test {
 protected:
  void SetUp() override {
    testing_support::UseUtcTime();
    m_store.SetClock([this] { return m_now; });
    m_store.SetNoticeHandler([this](uint32_t number) { m_notices.push_back(number); });
  }
  void TearDown() override { m_store.Reset(); }

  std::string Path(const std::string& name = "s.ddb") const { return m_directory.File(name); }
  int32_t Open(const std::string& name = "s.ddb") { return m_store.Open(Path(name).c_str()); }
  int32_t Add(uint32_t id, const char* name, const std::string& data, const char* description = "") {
    return m_store.AddRecord(id, name, description, static_cast<uint32_t>(data.size()),
                             reinterpret_cast<const uint8_t*>(data.data()));
  }
  std::string Read(uint32_t id, const char* name, int32_t* code = nullptr) {
    char description[kDialogDescriptionField];
    std::vector<uint8_t> data(256);
    uint32_t length = static_cast<uint32_t>(data.size());
    const int32_t result = m_store.ReadRecord(id, name, description, &length, data.data());
    if (code != nullptr) *code = result;
    return result == 0 ? std::string(data.begin(), data.begin() + length) : std::string();
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& [id, name, record] : testing_support::ContentsOf(m_store)) names.push_back(name);
    return names;
  }

  ScratchDirectory m_directory{"store"};
  DialogDescriptionFile m_store;
  uint32_t m_now = 0;
  std::vector<uint32_t> m_notices;
};

TEST_F(DialogDescriptionFileTest, FileHoldsTheEmptyStoreAndTwoKnownRecordsByteForByte) {
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(m_directory.Read("s.ddb"), kEmptyStore);
  EXPECT_EQ(m_directory.Files(), std::vector<std::string>({"s.ddb"})) << "no temporary file stays";

  ASSERT_EQ(Add(1, "abc", "x"), 0);
  ASSERT_EQ(Add(8, "abc", "\xFF", "x"), 0);
  const auto record = [](uint32_t checksum, uint32_t id, const std::string& description, const std::string& data) {
    return U32(checksum) + U32(id) + "abc" + std::string(14, '\0') + description +
           std::string(33 - description.size(), '\0') + U32(0) + U32(1) + data;
  };
  const std::string expected = kEmptyStore.substr(0, 41) + record(811, 1, "", "x") + record(817, 8, "x", "\xFF") +
                               U32(2) + U32(0) + U32(41) + U32(41 + 67) + U32(2);
  EXPECT_EQ(m_directory.Read("s.ddb"), expected);

  // The list entries: id, 0, name, description, length, 0, the time text.
  uint8_t buffer[200];
  ASSERT_EQ(m_store.ListRecords(8, kListFirstBatch, buffer, sizeof buffer, nullptr), 1);
  const std::string entry = U32(8) + '\0' + "abc" + '\0' + "x" + '\0' + U32(1) + '\0' + "Thu Jan  1 00:00:00 1970" + '\0';
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), entry.size()), entry);
  DialogEntryInfo info;
  EXPECT_EQ(DialogDescriptionFile::ParseListEntry(buffer, sizeof buffer, &info), entry.size());
  EXPECT_EQ(std::string(info.m_timeText), "Thu Jan  1 00:00:00 1970");
  m_now = 1700000000;
  ASSERT_EQ(Add(9, "later", ""), 0);
  ASSERT_EQ(m_store.ListRecords(9, kListFirstBatch, buffer, sizeof buffer, "later"), 1);
  ASSERT_GT(DialogDescriptionFile::ParseListEntry(buffer, sizeof buffer, &info), 0u);
  EXPECT_EQ(std::string(info.m_timeText), "Tue Nov 14 22:13:20 2023");
  EXPECT_EQ(info.m_dataLength, 0u);
}

TEST_F(DialogDescriptionFileTest, OperationsAnswerTheirCodes) {
  DialogDescriptionFile unopened;
  EXPECT_EQ(unopened.Close(), kStoreNoFileOpen);
  EXPECT_EQ(m_store.Open(""), kStoreCannotOpen);
  EXPECT_EQ(m_store.Open(m_directory.File("no/such/dir/s.ddb").c_str()), kStoreCannotOpen);
  ASSERT_EQ(Open(), 0);
  uint8_t buffer[128];
  char description[kDialogDescriptionField];
  uint32_t length = 10;
  const uint8_t byte = 0;
  struct Case {
    const char* name;
    std::function<int32_t()> run;
    int32_t code;
  };
  const Case empty[] = {
      {"remove from an empty store", [&] { return m_store.RemoveRecord(5, "abc"); }, kStoreEmptyDirectory},
      {"rename in an empty store", [&] { return m_store.RenameRecord(5, "abc", "d"); }, kStoreEmptyDirectory},
      {"read from an empty store", [&] { return m_store.ReadRecord(5, "abc", description, &length, buffer); },
       kStoreEmptyDirectory},
      {"list an empty store", [&] { return m_store.ListRecords(0, kListFirstBatch, buffer, 128, nullptr); },
       kStoreEmptyDirectory},
      {"no name and an empty store", [&] { return m_store.RemoveRecord(5, nullptr); }, kStoreEmptyDirectory},
  };
  for (const Case& test : empty) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(test.run(), test.code);
  }
  ASSERT_EQ(Add(5, "abc", std::string(40, 'd')), 0);
  const Case cases[] = {
      {"the same id and name again", [&] { return Add(5, "abc", "y"); }, kStoreRecordExists},
      {"another id, the same name", [&] { return Add(6, "abc", "y"); }, 0},
      {"add without a name", [&] { return m_store.AddRecord(5, nullptr, "", 1, &byte); }, kStoreNoName},
      {"add without data", [&] { return m_store.AddRecord(5, "n", "", 1, nullptr); }, kStoreNoBuffer},
      {"add without name or description", [&] { return m_store.AddRecord(5, nullptr, nullptr, 1, &byte); },
       kStoreNoBuffer},
      {"remove without a name", [&] { return m_store.RemoveRecord(5, nullptr); }, kStoreNoName},
      {"rename without a new name", [&] { return m_store.RenameRecord(5, "abc", nullptr); }, kStoreNoName},
      {"remove another name", [&] { return m_store.RemoveRecord(5, "abd"); }, kStoreNoSuchRecord},
      {"rename another id", [&] { return m_store.RenameRecord(7, "abc", "x"); }, kStoreNoSuchRecord},
      {"read without a length", [&] { return m_store.ReadRecord(5, "abc", description, nullptr, buffer); },
       kStoreBadLength},
      {"read without a buffer", [&] { return m_store.ReadRecord(5, "abc", description, &length, nullptr); },
       kStoreNoBuffer},
      {"read into 10 bytes", [&] { return m_store.ReadRecord(5, "abc", description, &length, buffer); },
       kStoreBadLength},
      {"list in mode 7", [&] { return m_store.ListRecords(0, 7, buffer, 128, nullptr); }, kStoreBadListMode},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(test.run(), test.code);
  }
  EXPECT_EQ(length, 40u) << "the record's length is given back";
  // Id 0 matches any id where a record is looked up, never where one is added.
  int32_t code = 1;
  EXPECT_EQ(Read(0, "abc", &code), std::string(40, 'd'));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Add(0, "abc", "z"), 0);
  // A name longer than 16 characters is kept as its first 16 and found by them.
  ASSERT_EQ(Add(5, "a_name_of_twenty_chars", "long"), 0);
  EXPECT_EQ(Read(5, "a_name_of_twenty_chars"), "long");
  EXPECT_EQ(Read(5, "a_name_of_twenty"), "long");
  EXPECT_EQ(Add(5, "a_name_of_twenty_other", "y"), kStoreRecordExists);
}

TEST_F(DialogDescriptionFileTest, RenameKeepsTheBytesAfterTheNameAndTheTimeStamp) {
  ASSERT_EQ(Open(), 0);
  m_now = 1234;
  ASSERT_EQ(Add(12, "abcdefghij", "layout", "the layout"), 0);
  m_now = 5678;
  ASSERT_EQ(m_store.RenameRecord(12, "abcdefghij", "xy"), 0);
  const std::string file = m_directory.Read("s.ddb");
  EXPECT_EQ(file.substr(41 + 8, 17), std::string("xy\0defghij\0\0\0\0\0\0\0", 17));
  EXPECT_EQ(LoadWord(file, 41 + 58), 1234u);
  EXPECT_EQ(Read(12, "xy"), "layout");
  int32_t code = 0;
  Read(12, "abcdefghij", &code);
  EXPECT_EQ(code, kStoreNoSuchRecord);
  // The new checksum holds: a fresh open drops nothing.
  m_store.Reset();
  ASSERT_EQ(Open(), 0);
  EXPECT_TRUE(m_notices.empty());
  EXPECT_EQ(Names(), std::vector<std::string>({"xy"}));
}

TEST_F(DialogDescriptionFileTest, RemovedRecordsStayUntilCloseCompacts) {
  ASSERT_EQ(Open(), 0);
  for (const char* name : {"one", "two", "three"}) ASSERT_EQ(Add(1, name, std::string("data of ") + name), 0);
  const std::string before = m_directory.Read("s.ddb");
  ASSERT_EQ(m_store.RemoveRecord(1, "two"), 0);
  const std::string removed = m_directory.Read("s.ddb");
  EXPECT_EQ(removed.size(), before.size());
  const std::vector<int32_t> offsets = OffsetsIn(before);
  EXPECT_EQ(OffsetsIn(removed), std::vector<int32_t>({offsets[0], -offsets[1], offsets[2]}));
  EXPECT_EQ(Names(), std::vector<std::string>({"one", "three"}));

  ASSERT_EQ(m_store.Close(), 0);
  const std::string compacted = m_directory.Read("s.ddb");
  EXPECT_EQ(compacted.find("data of two"), std::string::npos);
  const std::vector<int32_t> kept = OffsetsIn(compacted);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0], 41);
  // Headers and data move unchanged, time stamps and checksums with them.
  const std::size_t recordSize = offsets[1] - offsets[0];
  EXPECT_EQ(compacted.substr(41, recordSize), before.substr(offsets[0], recordSize));
  EXPECT_EQ(compacted.substr(kept[1], 66 + 13), before.substr(offsets[2], 66 + 13));
  // Nothing dropped: a close leaves the file as it is.
  ASSERT_EQ(Open(), 0);
  ASSERT_EQ(m_store.Close(), 0);
  EXPECT_EQ(m_directory.Read("s.ddb"), compacted);
}

TEST_F(DialogDescriptionFileTest, NestedFilesAndTheDefaultFileInTheWorkingDirectory) {
  ASSERT_EQ(Open("outer.ddb"), 0);
  ASSERT_EQ(Add(1, "a", "outer"), 0);
  ASSERT_EQ(Open("inner.ddb"), 0);
  ASSERT_EQ(Add(1, "b", "inner"), 0);
  EXPECT_EQ(Names(), std::vector<std::string>({"b"}));
  ASSERT_EQ(m_store.Close(), 0);
  EXPECT_EQ(m_store.CurrentFileName(), Path("outer.ddb"));
  EXPECT_EQ(Names(), std::vector<std::string>({"a"}));
  ASSERT_EQ(Open("inner.ddb"), 0);
  ASSERT_EQ(m_store.RemoveRecord(1, "b"), 0);
  ASSERT_EQ(m_store.RemoveRecord(1, nullptr), kStoreNoName);
  m_store.CloseAll();
  EXPECT_EQ(m_store.CurrentFileName(), "");
  EXPECT_EQ(m_directory.Read("inner.ddb"), kEmptyStore) << "every file was compacted";

  // With no file open a record operation opens "default.dsc" where the program runs;
  // its temporary image goes there too.
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(m_directory.Path());
  EXPECT_EQ(StoreTemporaryPath("default.dsc"), "$DBTMP.DDB");
  const int32_t added = Add(15, "w", "watches");
  const int32_t removed = m_store.RemoveRecord(15, "w");
  const std::string name = m_store.CurrentFileName();
  std::filesystem::current_path(previous);
  EXPECT_EQ(added, 0);
  EXPECT_EQ(removed, 0);
  EXPECT_EQ(name, "default.dsc");
  EXPECT_EQ(m_directory.Files(), std::vector<std::string>({"default.dsc", "inner.ddb", "outer.ddb"}));
  EXPECT_EQ(StoreTemporaryPath("C:\\dbg\\zentor.ddb"), "C:\\dbg\\$DBTMP.DDB");
  EXPECT_EQ(StoreTemporaryPath("/home/x/zentor.ddb"), "/home/x/$DBTMP.DDB");

  // A program that names its first-use file (the console program its own store) has
  // it opened instead; one that cannot be opened leaves "default.dsc" to be opened.
  struct FirstUse {
    const char* name;
    std::string file;
    std::string opened;
  };
  const FirstUse cases[] = {
      {"the program's own store", Path("own.ddb"), Path("own.ddb")},
      {"a store that cannot be opened", Path("no/such/dir/own.ddb"), "default.dsc"},
  };
  for (const FirstUse& c : cases) {
    SCOPED_TRACE(c.name);
    m_store.CloseAll();
    m_store.SetFirstUseFileName(c.file);
    std::filesystem::current_path(m_directory.Path());
    const int32_t added = Add(15, "v", "watches");
    const std::string opened = m_store.CurrentFileName();
    std::filesystem::current_path(previous);
    EXPECT_EQ(added, 0);
    EXPECT_EQ(opened, c.opened);
  }
  EXPECT_EQ(m_directory.Files(), std::vector<std::string>({"default.dsc", "inner.ddb", "outer.ddb", "own.ddb"}));
}

// Forty entries of 85 bytes take several batches of 1280 bytes; each batch stops at
// the first entry that does not fit and the next begins with it. No batch writes past
// the size it was given.
TEST_F(DialogDescriptionFileTest, ListBatchesResumeAtTheFirstEntryThatDidNotFit) {
  ASSERT_EQ(Open(), 0);
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "settings_name_%02d", i);
    names.push_back(name);
    ASSERT_EQ(Add(9, name, "v", "a description of thirty-two char"), 0);
    ASSERT_EQ(Add(8, name, "other kind"), 0);
  }
  std::vector<uint8_t> all;
  ASSERT_EQ(m_store.ListAllRecords(9, &all), 40);
  EXPECT_EQ(all.size(), 40u * 85);
  NamedSetList list;
  EXPECT_EQ(m_store.ListAllRecords(9, &list), 40u);
  ASSERT_EQ(list.m_entries.size(), 40u);
  for (int i = 0; i < 40; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(std::string(list.m_entries[i].m_name.data()), names[i]);
    EXPECT_EQ(std::string(list.m_entries[i].m_description.data()), "a description of thirty-two char");
    EXPECT_EQ(list.m_entries[i].m_length, 1u);
  }

  constexpr uint8_t kGuard = 0xA5;
  for (uint32_t size : {0u, 84u, 85u, 86u, 169u, 170u, 1280u}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> buffer(size + 64, kGuard);
    std::vector<std::string> listed;
    for (uint32_t mode = kListFirstBatch; listed.size() <= names.size(); mode = kListNextBatch) {
      const int32_t count = m_store.ListRecords(9, mode, buffer.data(), size, nullptr);
      for (std::size_t at = size; at < buffer.size(); ++at) ASSERT_EQ(buffer[at], kGuard) << "written at " << at;
      if (count <= 0) break;
      std::size_t at = 0;
      for (int32_t i = 0; i < count; ++i) {
        DialogEntryInfo info;
        at += DialogDescriptionFile::ParseListEntry(buffer.data() + at, size - at, &info);
        listed.push_back(info.m_name);
      }
      EXPECT_LE(at, size);
    }
    EXPECT_EQ(listed, size < 85 ? std::vector<std::string>() : names);
  }
  // A lookup of one name writes one entry.
  uint8_t one[128];
  EXPECT_EQ(m_store.ListRecords(9, kListFirstBatch, one, sizeof one, "settings_name_07"), 1);
}

// Damage of the frame (signature, trailer, directory count, a file cut short) sets the
// file aside as "<name>.bad" and starts an empty store; damage of records drops them.
// Either way message 10 is told once, and a sound file is never rewritten by an open.
TEST_F(DialogDescriptionFileTest, DamagedFilesKeepWhatWasSoundAndSetTheRestAside) {
  ASSERT_EQ(Open(), 0);
  for (const char* name : {"one", "two", "three"}) ASSERT_EQ(Add(1, name, std::string("data of ") + name), 0);
  m_store.Reset();
  const std::string sound = m_directory.Read("s.ddb");
  const std::vector<int32_t> offsets = OffsetsIn(sound);
  const std::size_t trailer = sound.size() - 4;
  const std::size_t directory = trailer - 4 * 3 - 8;
  const auto patched = [&sound](std::size_t at, const std::string& bytes) {
    std::string file = sound;
    file.replace(at, bytes.size(), bytes);
    return file;
  };
  struct Damage {
    const char* name;
    std::string file;
    std::vector<std::string> kept;  // empty: the file is set aside
  };
  std::string flipped = sound;
  flipped[offsets[1] + 66 + 2] ^= 0x20;
  const Damage damages[] = {
      {"a flipped data byte", flipped, {"one", "three"}},
      {"a flipped name byte", patched(offsets[2] + 8, "T"), {"one", "two"}},
      {"an offset past the end", patched(directory + 8 + 4, U32(0x7FFFFFF0)), {"one", "three"}},
      {"an offset into the magic", patched(directory + 8, U32(3)), {"two", "three"}},
      {"a length into the directory", patched(offsets[2] + 62, U32(80)), {"one", "two"}},
      {"two offsets of one record", patched(directory + 8 + 8, U32(offsets[1])), {"one", "two"}},
      {"another signature", patched(4, "dialog"), {}},
      {"trailer 0x3FFFFFFF", patched(trailer, U32(0x3FFFFFFF)), {}},
      {"trailer 0xFFFFFFFF", patched(trailer, U32(0xFFFFFFFF)), {}},
      {"count and trailer differ", patched(directory, U32(2)), {}},
      {"cut inside the directory", sound.substr(0, trailer - 2), {}},
      {"shorter than an empty store", sound.substr(0, 50), {}},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    std::filesystem::remove(Path("s.ddb.bad"));
    m_directory.Write("s.ddb", damage.file);
    m_notices.clear();
    ASSERT_EQ(Open(), 0);
    EXPECT_EQ(m_notices, std::vector<uint32_t>({10}));
    EXPECT_EQ(Names(), damage.kept);
    if (damage.kept.empty()) {
      EXPECT_EQ(m_directory.Read("s.ddb.bad"), damage.file);
      EXPECT_EQ(m_directory.Read("s.ddb"), kEmptyStore);
    } else {
      EXPECT_FALSE(m_directory.Exists("s.ddb.bad"));
      EXPECT_EQ(m_directory.Read("s.ddb").size(), damage.file.size()) << "dropped, not yet removed";
      // Close compacts the dropped record away; the next open finds nothing wrong.
      ASSERT_EQ(m_store.Close(), 0);
      m_notices.clear();
      ASSERT_EQ(Open(), 0);
      EXPECT_TRUE(m_notices.empty());
      EXPECT_EQ(Names(), damage.kept);
      EXPECT_LT(m_directory.Read("s.ddb").size(), damage.file.size());
    }
    m_store.Reset();
  }
  // The magic alone is not checked.
  m_directory.Write("s.ddb", patched(0, U32(0)));
  m_notices.clear();
  ASSERT_EQ(Open(), 0);
  EXPECT_TRUE(m_notices.empty());
  EXPECT_EQ(Names(), std::vector<std::string>({"one", "two", "three"}));
}

}  // namespace
}  // namespace zentor
