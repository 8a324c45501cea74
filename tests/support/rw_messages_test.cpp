#include "support/rw_messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "harness/rw_error_trap.h"

namespace zentor {
namespace {

using testing_support::RWErrorTextOf;

TEST(RWMessages, CataloguesAreInIdOrderWithTheirNames) {
  EXPECT_STREQ(RWTOOL_ALLOCOUT()->catalog, "rwtools6.0");
  EXPECT_EQ(RWTOOL_ALLOCOUT()->id, 8192u);
  EXPECT_EQ(RWTOOL_INDEXERR()->id, 8211u);
  EXPECT_EQ(RWTOOL_INDEXERR() - RWTOOL_ALLOCOUT(), 19);
  EXPECT_STREQ(RWCORE_EOF()->catalog, "rwcore6.0");
  EXPECT_EQ(RWCORE_SYNSTREAM()->id, 4106u);
  EXPECT_EQ(RWCORE_SYNSTREAM() - RWCORE_EOF(), 10);
}

TEST(RWMessages, FormatsArgumentsAndCutsLongTexts) {
  RWMessage index(RWTOOL_INDEX(), 7u, 2u);
  EXPECT_STREQ(index.str(), "[INDEX] Index (7) out of range [0->2]");
  RWMessage magic(RWTOOL_MAGIC(), 4660L, 34952L);
  EXPECT_STREQ(magic.str(), "[MAGIC] Bad magic number: 4660 (should be 34952)");
  RWMessage nocreate(RWTOOL_NOCREATE(), 0x8028, 0x8028);
  EXPECT_STREQ(nocreate.str(), "[NOCREATE] RWFactory: no create function for class with ID 32808 (0x8028)");

  std::string longName(2000, 'x');
  RWMessage cut(RWCORE_OPERR(), longName.c_str());
  EXPECT_EQ(std::strlen(cut.str()), 503u);

  RWMessage copy(cut);
  copy = index;
  copy = copy;
  EXPECT_STREQ(copy.str(), index.str());
}

TEST(RWMessages, ExceptionTextOwnership) {
  const char* text = "shared text";
  RWxmsg borrowed(text, false);
  RWxmsg copyOfBorrowed(borrowed);
  EXPECT_EQ(borrowed.why(), text);
  EXPECT_EQ(copyOfBorrowed.why(), text);
  EXPECT_FALSE(copyOfBorrowed.ownsText());

  RWxmsg owned(text);
  RWxmsg copyOfOwned(owned);
  EXPECT_NE(owned.why(), text);
  EXPECT_NE(copyOfOwned.why(), owned.why());
  EXPECT_STREQ(copyOfOwned.why(), text);

  RWxalloc alloc(100);
  EXPECT_EQ(alloc.why(), RWCORE_NOMEM()->text);
}

TEST(RWMessages, HandlerReplacementAndRaisingHelpers) {
  RWErrHandler first = rwSetErrHandler(nullptr);
  EXPECT_EQ(first, &RWDefaultErrHandler);
  EXPECT_EQ(RWErrorTextOf([] { RWRaiseIndex(7, 2); }), "[INDEX] Index (7) out of range [0->2]");
  EXPECT_EQ(RWErrorTextOf([] { RWRaiseIndexErr(3, 3); }),
            "[INDEXERR] Illegal Index (3) for collection with 3 elements");
  EXPECT_EQ(RWErrorTextOf([] {}), "");
}

TEST(RWMessagesDeathTest, DefaultHandlerShowsFatalErrorAndExitsWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RWRaiseIndex(7, 2), testing::ExitedWithCode(1),
              "Fatal Error: \\[INDEX\\] Index \\(7\\) out of range \\[0->2\\]");
}

}  // namespace
}  // namespace zentor
