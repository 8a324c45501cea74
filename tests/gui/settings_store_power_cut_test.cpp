// The settings store under failure: a change cut off by a power cut or a full disk
// after any number of its writes leaves the file as it was before the change or as
// it is after it, byte for byte, never a damaged or a set-aside one; a temporary image
// left beside the store is taken back only when whole. Then a long run of random
// operations with reopens against a model of the records.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/dv_error.h"
#include "gui/dialog_description_file.h"
#include "harness/session/console_session.h"
#include "store_test_support.h"

namespace zentor {
namespace {

using testing_support::ContentsOf;
using testing_support::CutChannel;
using testing_support::ScratchDirectory;
using testing_support::StoreContents;

class SettingsStorePowerCutTest : public testing::Test {
 protected:
  void SetUp() override {
    testing_support::UseUtcTime();
    m_store.SetClock([] { return 86400u; });
  }
  void TearDown() override { m_store.Reset(); }

  // Opens the store afresh, as the next run of the program would; the notices of
  // damage it found are counted.
  void OpenAgain() {
    m_store.Reset();
    m_store.SetWriteChannel(m_channel);
    m_store.SetNoticeHandler([this](uint32_t) { ++m_damage; });
    EXPECT_EQ(m_store.Open(m_path.c_str()), 0);
  }
  StoreContents Reopen() {
    OpenAgain();
    return ContentsOf(m_store);
  }
  int32_t Add(uint32_t id, const std::string& name, const std::string& data) {
    return m_store.AddRecord(id, name.c_str(), ("about " + name).c_str(), static_cast<uint32_t>(data.size()),
                             reinterpret_cast<const uint8_t*>(data.data()));
  }

  ScratchDirectory m_directory{"power-cut"};
  std::string m_path = m_directory.File("cut.ddb");
  DialogDescriptionFile m_store;
  StoreWriteChannel* m_channel = nullptr;  // of the reopened store
  int m_damage = 0;
};

TEST_F(SettingsStorePowerCutTest, EveryCutLeavesTheRecordsBeforeOrAfter) {
  Reopen();
  for (int i = 0; i < 20; ++i) ASSERT_EQ(Add(1 + i % 3, "set" + std::to_string(i), std::string(i, 'a' + i)), 0);
  for (int i : {3, 8, 15}) ASSERT_EQ(m_store.RemoveRecord(1 + i % 3, ("set" + std::to_string(i)).c_str()), 0);
  const std::string prepared = m_directory.Read("cut.ddb");

  struct Change {
    const char* name;
    std::function<void(DialogDescriptionFile&)> run;
  };
  const Change changes[] = {
      {"add", [this](DialogDescriptionFile&) { Add(2, "added", std::string(30, 'n')); }},
      {"remove", [](DialogDescriptionFile& store) { store.RemoveRecord(1, "set9"); }},
      {"rename", [](DialogDescriptionFile& store) { store.RenameRecord(3, "set11", "renamed"); }},
      {"compaction", [](DialogDescriptionFile& store) { store.Close(); }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    m_directory.Write("cut.ddb", prepared);
    OpenAgain();
    CutChannel counting;
    m_store.SetWriteChannel(&counting);
    change.run(m_store);
    OpenAgain();
    const std::string afterFile = m_directory.Read("cut.ddb");
    ASSERT_NE(afterFile, prepared);
    m_directory.Write("cut.ddb", prepared);
    // A power cut after every unit; a full disk after every 13th and the last ones.
    const uint64_t spent = counting.Spent();
    for (uint64_t step = 0; step <= 2 * spent; ++step) {
      const bool full = step > spent;
      const uint64_t cut = full ? step - spent - 1 : step;
      if (full && cut % 13 != 0 && cut + 3 < spent) continue;
      SCOPED_TRACE(std::string(full ? "disk full" : "power cut") + " after " + std::to_string(cut) + " of " +
                   std::to_string(spent));
      OpenAgain();
      CutChannel channel(cut, full ? testing_support::CutKind::kDiskFull : testing_support::CutKind::kPowerCut);
      m_store.SetWriteChannel(&channel);
      try {
        change.run(m_store);
      } catch (const DVError& error) {
        EXPECT_EQ(error.Number(), 114u);
      }
      m_damage = 0;
      OpenAgain();
      // Only the last step, the rename, puts the new file in place; a full disk does
      // not stop it, only the writes before it. The file is the one before or the one
      // after, byte for byte, and so are its records.
      const bool whole = full ? cut + 1 >= spent : cut == spent;
      ASSERT_EQ(m_directory.Read("cut.ddb"), whole ? afterFile : prepared);
      EXPECT_EQ(m_damage, 0);
      EXPECT_EQ(m_directory.Files(), std::vector<std::string>({"cut.ddb"}));
      if (whole) m_directory.Write("cut.ddb", prepared);
    }
  }
}

// A whole image beside a missing store is the change that was cut off before its
// rename; a partial one is dropped. A bare name's image is in the working directory.
TEST_F(SettingsStorePowerCutTest, TemporaryImageIsTakenBackOnlyWhenWhole) {
  Reopen();
  for (int i = 0; i < 5; ++i) ASSERT_EQ(Add(15, "w" + std::to_string(i), "watch"), 0);
  const std::string fewer = m_directory.Read("cut.ddb");
  ASSERT_EQ(m_store.RemoveRecord(15, "w4"), 0);
  ASSERT_EQ(Add(15, "w5", "other"), 0);
  const std::string whole = m_directory.Read("cut.ddb");
  const StoreContents contents = ContentsOf(m_store);
  m_store.Reset();
  struct Case {
    const char* name;
    bool storeThere;
    std::string image;
    bool takenBack;
  };
  const Case cases[] = {
      {"whole image, no store", false, whole, true},
      {"image cut short, no store", false, whole.substr(0, whole.size() - 1), false},
      {"image without its last record's byte", false, whole.substr(0, 200) + whole.substr(201), false},
      {"an older whole image beside the store", true, fewer, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    std::filesystem::remove(m_path);
    if (test.storeThere) m_directory.Write("cut.ddb", whole);
    m_directory.Write("$DBTMP.DDB", test.image);
    m_damage = 0;
    const StoreContents found = Reopen();
    EXPECT_EQ(found, test.takenBack || test.storeThere ? contents : StoreContents());
    EXPECT_EQ(m_damage, 0);
    EXPECT_EQ(m_directory.Files(), std::vector<std::string>({"cut.ddb"}));
  }
}

// The model: the records in directory order, which adds append to, removes take out
// of, renames change in place, and compaction keeps.
TEST_F(SettingsStorePowerCutTest, RandomOperationsWithReopensMatchAModel) {
  const uint32_t seed = 20240527;
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  const auto pick = [&random](uint32_t count) { return static_cast<uint32_t>(random() % count); };
  struct Model {
    uint32_t id;
    std::string name;
    testing_support::StoredRecord record;
  };
  std::vector<Model> model;
  const auto find = [&model](uint32_t id, const std::string& name) {
    for (std::size_t i = 0; i < model.size(); ++i) {
      if (model[i].id == id && model[i].name == name) return static_cast<int32_t>(i);
    }
    return -1;
  };
  // A record not there: the directory holds others, or none at all.
  const auto missing = [](int32_t result) { return result == kStoreNoSuchRecord || result == kStoreEmptyDirectory; };
  CutChannel withoutFlush;
  m_channel = &withoutFlush;
  Reopen();
  uint32_t now = 1000;
  m_store.SetClock([&now] { return now; });
  const uint32_t ids[] = {1, 5, 15};
  for (int step = 0; step < 2000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const uint32_t id = ids[pick(3)];
    const std::string name = "n" + std::to_string(pick(12));
    const int32_t at = find(id, name);
    switch (pick(7)) {
      case 0:
      case 1:
      case 2: {
        std::string data(pick(300), '\0');
        for (char& byte : data) byte = static_cast<char>(random());
        const std::string description = "d" + std::to_string(pick(1000));
        now += pick(100000);
        const int32_t result = m_store.AddRecord(id, name.c_str(), description.c_str(),
                                                 static_cast<uint32_t>(data.size()),
                                                 reinterpret_cast<const uint8_t*>(data.data()));
        ASSERT_EQ(result, at >= 0 ? kStoreRecordExists : 0);
        if (at < 0) model.push_back({id, name, {description, data, DialogTimeText(now)}});
        break;
      }
      case 3:
      case 4: {
        const int32_t result = m_store.RemoveRecord(id, name.c_str());
        ASSERT_TRUE(at >= 0 ? result == 0 : missing(result)) << result;
        if (at >= 0) model.erase(model.begin() + at);
        break;
      }
      case 5: {
        const std::string renamed = "n" + std::to_string(pick(12));
        if (find(id, renamed) >= 0) break;
        const int32_t result = m_store.RenameRecord(id, name.c_str(), renamed.c_str());
        ASSERT_TRUE(at >= 0 ? result == 0 : missing(result)) << result;
        if (at >= 0) model[static_cast<std::size_t>(at)].name = renamed;
        break;
      }
      default:
        ASSERT_EQ(m_store.Close(), 0);
        Reopen();
    }
    if (step % 10 == 9) {
      StoreContents expected;
      for (const Model& entry : model) expected.emplace_back(entry.id, entry.name, entry.record);
      ASSERT_EQ(ContentsOf(m_store), expected);
    }
  }
  EXPECT_EQ(m_damage, 0);
}

}  // namespace
}  // namespace zentor
