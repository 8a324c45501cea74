#include "core/collectable_record.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/core_test_support.h"
#include "core/hi_service.h"
#include "platform/user_break.h"
#include "support/rw_factory.h"

namespace zentor {
namespace {

using testing_support::CoreTestEnvironment;
using testing_support::ErrorThrownBy;

class CollectableRecordTest : public CoreTestEnvironment {
 protected:
  void SetUp() override {
    CoreTestEnvironment::SetUp();
    platform::TakeUserBreak();
  }
  void TearDown() override {
    platform::TakeUserBreak();
    CoreTestEnvironment::TearDown();
  }
};

TEST_F(CollectableRecordTest, MarksReachRecordsByKindAndViewpoint) {
  AddViewpoint(0xA);
  AddViewpoint(0xB);
  CollectableRecord all6(kRecordTargetMemory);
  CollectableRecord a6(kRecordTargetMemory, ViewpointHandle(0xA));
  CollectableRecord b6(kRecordTargetMemory, ViewpointHandle(0xB));
  CollectableRecord a5(kRecordExecutionState, ViewpointHandle(0xA));
  CollectableRecord unregistered(kRecordTargetMemory);
  for (CollectableRecord* r : {&all6, &a6, &b6, &a5}) r->Register();
  all6.Register();  // a second registration changes nothing

  struct Case {
    const char* name;
    void (*mark)();
    // Expected answers of all6, a6, b6, a5, unregistered.
    uint32_t expected[5];
  };
  const Case cases[] = {
      {"kind 6 of A", [] { MarkRegisteredChanged(kRecordTargetMemory, ViewpointHandle(0xA)); }, {1, 1, 0, 0, 0}},
      {"kind 6 of B", [] { MarkRegisteredChanged(kRecordTargetMemory, ViewpointHandle(0xB)); }, {1, 0, 1, 0, 0}},
      {"kind 6 of all", [] { MarkAllRecordsOfKindChanged(kRecordTargetMemory); }, {1, 1, 1, 0, 0}},
      {"kind 5 of B", [] { MarkRegisteredChanged(kRecordExecutionState, ViewpointHandle(0xB)); }, {0, 0, 0, 0, 0}},
      {"kind 5 of A by value", [] { MarkRecordsChangedByValue(kRecordExecutionState, 0xA); }, {0, 0, 0, 1, 0}},
      {"kind 6 by value 0 is all", [] { MarkRecordsChangedByValue(kRecordTargetMemory, 0); }, {1, 1, 1, 0, 0}},
      {"kind 7 of nobody", [] { MarkAllRecordsOfKindChanged(kRecordOtherView); }, {0, 0, 0, 0, 0}},
  };
  CollectableRecord* records[] = {&all6, &a6, &b6, &a5, &unregistered};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.mark();
    for (int i = 0; i < 5; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(records[i]->TestAndClearChanged(), c.expected[i]);
      EXPECT_EQ(records[i]->TestAndClearChanged(), 0u);
    }
  }
}

// The scanner and the include reader watch for breaks without registering a monitor:
// a watch's answers, and the marks the registered monitors get, are those of a
// monitor without viewpoint registered for the watch's lifetime. Each script is a
// series of steps: a break raised, another monitor's poll, the watch's own test.
TEST_F(CollectableRecordTest, BreakWatchAgreesWithARegisteredMonitor) {
  AddViewpoint(0xA);
  struct Case {
    const char* name;
    const char* steps;  // 'b' raise a break, 'o' poll of the monitor of 0xA, 't' the watch's test
  };
  const Case cases[] = {
      {"no break", "tt"},
      {"a break the watch takes", "btt"},
      {"a break another monitor takes first", "bott"},
      {"a break taken before the watch and polled for", "ot bot t"},
      {"breaks on both sides of a test", "btbtot"},
  };
  struct Outcome {
    std::vector<uint32_t> answers;
    std::vector<uint32_t> marks;
    bool operator==(const Outcome&) const = default;
  };
  auto run = [](const char* steps, bool registered) {
    BreakMonitor plain;
    CollectableRecord zero(kRecordUserBreak, ViewpointHandle(0));
    CollectableRecord ofA(kRecordUserBreak, ViewpointHandle(0xA));
    CollectableRecord otherKind(kRecordWatches);
    CollectableRecord* const records[] = {&plain, &zero, &otherKind};
    for (CollectableRecord* record : records) record->Register();
    ofA.Register();
    Outcome outcome;
    BreakMonitor monitor;
    if (registered) monitor.Register();
    BreakWatch watch;
    for (const char* step = steps; *step != '\0'; ++step) {
      if (*step == 'b') platform::RaiseUserBreak();
      if (*step == 'o') outcome.answers.push_back(100 + ofA.TestAndClearChanged());
      if (*step == 't') outcome.answers.push_back(registered ? monitor.TestAndClearChanged() : watch.TestAndClearChanged());
    }
    // No break is pending by now: each record's check answers its mark alone.
    for (CollectableRecord* record : records) outcome.marks.push_back(record->TestAndClearChanged());
    return outcome;
  };
  const bool wasConsoleMode = IsConsoleMode();
  for (const bool consoleMode : {true, false}) {
    SetConsoleMode(consoleMode);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(consoleMode ? "console: " : "GUI: ") + c.name);
      const Outcome registered = run(c.steps, true);
      EXPECT_EQ(run(c.steps, false), registered);
      EXPECT_FALSE(platform::TakeUserBreak());
    }
    platform::RaiseUserBreak();
    EXPECT_TRUE(PollUserBreakOnce());
    EXPECT_FALSE(PollUserBreakOnce());
  }
  SetConsoleMode(wasConsoleMode);
}

TEST_F(CollectableRecordTest, DestroyedRecordsLeaveTheRegistry) {
  auto* record = CreateCollectableRecord(kRecordWatches, 0);
  RegisterCollectableRecord(record);
  std::set<CollectableRecord*> seen;
  ObjectRegistryIterator* it = CreateObjectRegistryIterator();
  while (CollectableRecord* r = NextRegisteredRecord(it)) seen.insert(r);
  EXPECT_EQ(seen.count(record), 1u);
  DestroyCollectableRecord(record);
  DestroyCollectableRecord(nullptr);

  {
    CollectableRecord scoped(kRecordWatches);
    scoped.Register();
  }
  // Marking after the records are gone touches no freed memory (the sanitizer build
  // would catch it) and finds none of them.
  MarkAllRecordsOfKindChanged(kRecordWatches);
  seen.clear();
  it = CreateObjectRegistryIterator();
  while (CollectableRecord* r = NextRegisteredRecord(it)) seen.insert(r);
  EXPECT_EQ(seen.count(record), 0u);

  CollectableRecord kept(kRecordWatches);
  kept.Register();
  kept.Unregister();
  MarkAllRecordsOfKindChanged(kRecordWatches);
  EXPECT_EQ(kept.TestAndClearChanged(), 0u);

  // Records that come back after leaving, take another kind, or were copied from a
  // registered one: each destroyed record is gone from the registry, and marking
  // afterwards reaches only the survivor.
  auto* again = CreateCollectableRecord(kRecordWatches, 0);
  RegisterCollectableRecord(again);
  UnregisterCollectableRecord(again);
  RegisterCollectableRecord(again);
  auto* rekinded = CreateCollectableRecord(kRecordColours, 0);
  RegisterCollectableRecord(rekinded);
  *rekinded = *again;
  CollectableRecord* copied = CopyCollectableRecord(again);
  kept.Register();
  const std::set<CollectableRecord*> destroyed = {again, rekinded, copied};
  for (CollectableRecord* r : destroyed) DestroyCollectableRecord(r);
  seen.clear();
  it = CreateObjectRegistryIterator();
  while (CollectableRecord* r = NextRegisteredRecord(it)) seen.insert(r);
  for (CollectableRecord* r : destroyed) EXPECT_EQ(seen.count(r), 0u);
  EXPECT_EQ(seen.count(&kept), 1u);
  MarkAllRecordsOfKindChanged(kRecordWatches);
  EXPECT_EQ(kept.TestAndClearChanged(), 1u);
  kept.Unregister();
}

// Marking skips kinds nobody registered: the count per kind must follow every way a
// registered record comes, goes or changes its kind.
TEST_F(CollectableRecordTest, MarksFollowRegistrationAndKindChanges) {
  const uint32_t kHighKind = 1000;  // beyond the kinds counted one by one
  CollectableRecord watches(kRecordWatches);
  CollectableRecord high(kHighKind);
  CollectableRecord source(kRecordColours);
  struct Step {
    const char* name;
    void (*act)(CollectableRecord& watches, CollectableRecord& high, CollectableRecord& source);
    uint32_t markedKind;
    uint32_t expected[3];  // answers of watches, high, source
  };
  const Step steps[] = {
      {"unregistered", [](auto&, auto&, auto&) {}, kRecordWatches, {0, 0, 0}},
      {"registered", [](auto& w, auto& h, auto&) { w.Register(); h.Register(); }, kRecordWatches, {1, 0, 0}},
      {"registered twice",
       [](auto& w, auto&, auto&) {
         w.Register();
         w.Unregister();
       },
       kRecordWatches, {0, 0, 0}},
      {"again", [](auto& w, auto&, auto&) { w.Register(); }, kRecordWatches, {1, 0, 0}},
      {"a high kind", [](auto&, auto&, auto&) {}, kHighKind, {0, 1, 0}},
      {"assigned another kind: old kind", [](auto& w, auto&, auto& s) { w = s; }, kRecordWatches, {0, 0, 0}},
      {"assigned another kind: new kind", [](auto&, auto&, auto&) {}, kRecordColours, {1, 0, 0}},
      {"the source registers too", [](auto&, auto&, auto& s) { s.Register(); }, kRecordColours, {1, 0, 1}},
      {"one of two leaves", [](auto& w, auto&, auto&) { w.Unregister(); }, kRecordColours, {0, 0, 1}},
      {"an unregistered record assigned", [](auto& w, auto& h, auto&) { w = h; }, kRecordColours, {0, 0, 1}},
  };
  CollectableRecord* records[] = {&watches, &high, &source};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.act(watches, high, source);
    MarkAllRecordsOfKindChanged(step.markedKind);
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(records[i]->TestAndClearChanged(), step.expected[i]);
    }
  }
  // A copy of a registered record is not registered: it neither counts nor is reached.
  CollectableRecord copy(source);
  source.Unregister();
  MarkAllRecordsOfKindChanged(kRecordColours);
  EXPECT_EQ(copy.TestAndClearChanged(), 0u);
  EXPECT_EQ(source.TestAndClearChanged(), 0u);
}

TEST_F(CollectableRecordTest, HandleOperations) {
  CollectableRecord* plain = CreateCollectableRecord(kRecordColours, 0);
  CollectableRecord* ofView = CreateCollectableRecord(kRecordRegisters, 0x33);
  EXPECT_EQ(GetCollectableRecordKind(plain), 2u);
  EXPECT_EQ(GetCollectableRecordViewpoint(plain), 0u);
  EXPECT_FALSE(plain->HasViewpoint());
  EXPECT_EQ(GetCollectableRecordViewpoint(ofView), 0x33u);
  EXPECT_TRUE(ofView->HasViewpoint());

  MarkCollectableRecordChanged(ofView);
  CollectableRecord* copied = CopyCollectableRecord(ofView);
  EXPECT_EQ(GetCollectableRecordKind(copied), 8u);
  EXPECT_EQ(GetCollectableRecordViewpoint(copied), 0x33u);
  EXPECT_EQ(TestAndClearCollectableRecord(copied), 1u);
  EXPECT_EQ(TestAndClearCollectableRecord(ofView), 1u);
  EXPECT_EQ(TestAndClearCollectableRecord(ofView), 0u);

  // Assignment copies the viewpoint only from a record that has one.
  CollectableRecord target(kRecordWatches, ViewpointHandle(0x44));
  target = *plain;
  EXPECT_EQ(target.Kind(), 2u);
  EXPECT_FALSE(target.HasViewpoint());
  EXPECT_EQ(target.Viewpoint().Value(), 0u);

  EXPECT_EQ(ErrorThrownBy([] { RegisterCollectableRecord(nullptr); }).Number(), 1u);
  EXPECT_EQ(ErrorThrownBy([] { TestAndClearCollectableRecord(nullptr); }).Number(), 1u);
  for (CollectableRecord* r : {plain, ofView, copied}) DestroyCollectableRecord(r);
}

TEST_F(CollectableRecordTest, FactoryAndSpeciesMakeKind17Records) {
  std::unique_ptr<RWCollectable> made(rwCreateFromFactory(kCollectableRecordID));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->isA(), kCollectableRecordID);
  auto* record = dynamic_cast<CollectableRecord*>(made.get());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->Kind(), kRecordFurtherUsers);
  EXPECT_FALSE(record->HasViewpoint());

  CollectableRecord source(kRecordWatches, ViewpointHandle(9));
  std::unique_ptr<RWCollectable> species(source.newSpecies());
  EXPECT_EQ(dynamic_cast<CollectableRecord&>(*species).Kind(), kRecordFurtherUsers);
  std::unique_ptr<RWCollectable> copy(source.copy());
  EXPECT_EQ(dynamic_cast<CollectableRecord&>(*copy).Kind(), kRecordWatches);
  EXPECT_EQ(dynamic_cast<CollectableRecord&>(*copy).Viewpoint().Value(), 9u);
}

TEST_F(CollectableRecordTest, BreakMonitorNoticesAUserBreak) {
  BreakMonitor monitor;
  monitor.Register();
  BreakMonitor other;
  other.Register();
  CollectableRecord notKind3(kRecordWatches);
  notKind3.Register();

  EXPECT_EQ(monitor.Kind(), 3u);
  EXPECT_EQ(monitor.TestAndClearChanged(), 0u);
  platform::RaiseUserBreak();
  // A plain record does not poll, so the break stays pending for the monitor.
  EXPECT_EQ(notKind3.TestAndClearChanged(), 0u);
  EXPECT_EQ(monitor.TestAndClearChanged(), 1u);
  EXPECT_EQ(monitor.TestAndClearChanged(), 0u);
  // The break marked every kind-3 record, and was consumed by the first poll.
  EXPECT_EQ(other.TestAndClearChanged(), 1u);
  EXPECT_EQ(other.TestAndClearChanged(), 0u);
  EXPECT_EQ(HiService(kGuiCheckUserBreak), 0);
}

}  // namespace
}  // namespace zentor
