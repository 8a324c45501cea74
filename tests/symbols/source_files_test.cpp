#include "symbols/source_files.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <random>
#include <string>

#include "symbols/symbol_context.h"
#include "symbols/symbol_context_test_support.h"

namespace zentor {
namespace {

using testing_support::ForeignSpelling;
using testing_support::ScratchTree;
using testing_support::SymbolContextEnvironment;
using testing_support::Text;

class SourceFilesTest : public SymbolContextEnvironment {};

TEST_F(SourceFilesTest, NamesAreNormalised) {
  struct Case {
    const char* m_name;
    const char* m_text;
    const char* m_expected;
  };
  const Case cases[] = {
      {"slashes and lower-case drive", "c:/src/Main.c", "C:\\src\\Main.c"},
      {"drive letter alone", "d:", "D:"},
      {"one character unchanged", "a", "a"},
      {"one slash", "/", "\\"},
      {"no drive: first letter kept", "src/a.c", "src\\a.c"},
      {"dots and case kept", "../Inc/./X.H", "..\\Inc\\.\\X.H"},
      {"colon after a digit", "1:/a", "1:\\a"},
      {"backslashes kept", "\\\\srv\\share", "\\\\srv\\share"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    EXPECT_EQ(Text(SourcePathName(c.m_text)), c.m_expected);
    EXPECT_EQ(Text(SourcePathName(RWCString(c.m_text))), c.m_expected);
  }
  EXPECT_EQ(Text(SourcePathName()), "");
}

// Order and equality against a reference that compares std::strings folded to lower
// case (the class library's case rule, which puts '\\' after the letters).
TEST_F(SourceFilesTest, NamesCompareWithoutRegardToCase) {
  const uint32_t seed = 4105;
  std::mt19937 random(seed);
  const std::string alphabet = "aAbB\\/:.z";
  auto folded = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string a;
    std::string b;
    for (int i = static_cast<int>(random() % 6); i > 0; --i) a += alphabet[random() % alphabet.size()];
    for (int i = static_cast<int>(random() % 6); i > 0; --i) b += alphabet[random() % alphabet.size()];
    const SourcePathName left(a.c_str());
    const SourcePathName right(b.c_str());
    const std::string expectedLeft = folded(Text(left));
    const std::string expectedRight = folded(Text(right));
    const int expected = expectedLeft < expectedRight ? -1 : (expectedLeft == expectedRight ? 0 : 1);
    ASSERT_EQ(left.compareTo(&right), expected) << "seed " << seed << " \"" << a << "\" \"" << b << "\"";
    ASSERT_EQ(left.isEqual(&right), expected == 0) << "seed " << seed;
    if (expected == 0) {
      ASSERT_EQ(left.hash(), right.hash()) << "seed " << seed;
    }
  }
}

TEST_F(SourceFilesTest, EachNameHasOneIndexAndTheFirstSpellingIsKept) {
  SourceFileTable table;
  struct Case {
    const char* m_name;
    const char* m_text;
    uint16_t m_line;
    uint16_t m_expectedIndex;
    uint16_t m_expectedLine;
  };
  const Case cases[] = {
      {"first name", "c:/src/main.c", 10, 1, 10},
      {"second name", "inc\\defs.h", 3, 2, 3},
      {"same name again", "c:\\src\\main.c", 11, 1, 11},
      {"differs only in case", "C:\\SRC\\MAIN.C", 12, 1, 12},
      {"differs in separators and case", "Inc/Defs.H", 4, 2, 4},
      {"third name", "other.c", 1, 3, 1},
      {"empty name: no file", "", 7, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    const SourceFileRef ref = SourceFileRef::FromName(table, c.m_text, c.m_line);
    EXPECT_EQ(ref.FileIndex(), c.m_expectedIndex);
    EXPECT_EQ(ref.Line(), c.m_expectedLine);
  }
  EXPECT_EQ(table.Count(), 4u);
  EXPECT_EQ(Text(table.Name(1)), "C:\\src\\main.c");
  EXPECT_EQ(Text(table.Name(2)), "inc\\defs.h");
  // Index 0 and indexes beyond the table name nothing and never resolve.
  for (uint32_t index : {0u, 4u, 0xFFFFu, 0xFFFFFFFFu}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(Text(table.Name(index)), "");
    EXPECT_EQ(Text(table.FindFile(index)), "");
    EXPECT_EQ(table.LineCount(index), 0);
  }
  // AddFile always appends; IndexOf finds the first.
  EXPECT_EQ(table.AddFile(SourcePathName("OTHER.C")), 4u);
  EXPECT_EQ(table.IndexOf(SourcePathName("other.c")), 3u);
}

TEST_F(SourceFilesTest, RefsOrderByFileThenLine) {
  struct Case {
    const char* m_name;
    SourceFileRef m_a;
    SourceFileRef m_b;
    int m_expected;
  };
  const Case cases[] = {
      {"lower file first", SourceFileRef(90, 1), SourceFileRef(2, 2), -1},
      {"higher file after", SourceFileRef(1, 3), SourceFileRef(9, 2), 1},
      {"same file, lower line", SourceFileRef(4, 2), SourceFileRef(5, 2), -1},
      {"same file, higher line", SourceFileRef(6, 2), SourceFileRef(5, 2), 1},
      {"same file and line", SourceFileRef(5, 2), SourceFileRef(5, 2), 0},
      {"index 0 equal whatever the line", SourceFileRef(3, 0), SourceFileRef(8, 0), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    EXPECT_EQ(c.m_a.Compare(c.m_b), c.m_expected);
    EXPECT_EQ(c.m_b.Compare(c.m_a), -c.m_expected);
    EXPECT_EQ(c.m_a == c.m_b, c.m_expected == 0);
    EXPECT_EQ(c.m_a < c.m_b, c.m_expected < 0);
  }
  EXPECT_FALSE(SourceFileRef(0, 5).HasFile());
  EXPECT_TRUE(SourceFileRef(1, 5).HasFile());
}

TEST_F(SourceFilesTest, BaseNamesFollowTheLastSeparator) {
  struct Case {
    const char* m_text;
    const char* m_expected;
  };
  const Case cases[] = {{"C:\\src\\main.c", "main.c"}, {"c:main.c", "main.c"}, {"a/b\\c", "c"},
                        {"main.c", "main.c"},          {"dir\\", ""},           {"", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_text);
    EXPECT_EQ(Text(BaseNameOf(c.m_text)), c.m_expected);
  }
}

// A tree written on this machine and searched with names as a Windows compiler and a
// Windows user write them: backslashes, another case, a drive prefix.
class SourceLookupTest : public SourceFilesTest {
 protected:
  void SetUp() override {
    SourceFilesTest::SetUp();
    m_mainInSrc = m_tree.Write("Src/Main.C", "int main()\n{\n}\n");
    m_mainInOther = m_tree.Write("Other/main.c", "x\n");
    m_defs = m_tree.Write("Inc/Defs.H", "#define A 1\r\n#define B 2\r\n");
    m_srcDir = ForeignSpelling(m_tree.Root() + "/Src");
    m_otherDir = ForeignSpelling(m_tree.Root() + "/Other");
    m_incDir = ForeignSpelling(m_tree.Root() + "/Inc");
  }

  ScratchTree m_tree;
  std::string m_mainInSrc;
  std::string m_mainInOther;
  std::string m_defs;
  std::string m_srcDir;
  std::string m_otherDir;
  std::string m_incDir;
};

TEST_F(SourceLookupTest, NamesResolveAlongTheViewpointAndGlobalPaths) {
  struct Case {
    const char* m_name;
    std::string m_viewpointPath;
    std::string m_globalPath;
    std::string m_fileName;
    std::string m_expected;  // in the debugger's form; "" when not found
    int32_t m_lines;
  };
  const std::string srcMain = Text(SourcePathName((m_srcDir + "\\main.c").c_str()));
  const Case cases[] = {
      {"absolute name elsewhere: base name in the viewpoint's path", m_srcDir, m_otherDir,
       "d:/build/src/main.c", srcMain, 3},
      {"viewpoint's path before the global path", m_srcDir, m_otherDir, "main.c", srcMain, 3},
      {"global path when the viewpoint's has none", m_incDir, m_otherDir, "MAIN.C",
       Text(SourcePathName((m_otherDir + "\\MAIN.C").c_str())), 1},
      {"directory ending in a separator", m_srcDir + "\\", "", "main.c", srcMain, 3},
      {"relative name by its base name", "", m_incDir, "..\\inc\\defs.h",
       Text(SourcePathName((m_incDir + "\\defs.h").c_str())), 2},
      {"absolute name that exists", "", "", ForeignSpelling(m_defs), Text(SourcePathName(ForeignSpelling(m_defs).c_str())),
       2},
      {"nowhere on the paths", m_incDir, m_otherDir, "util.c", "", 0},
      {"no paths at all", "", "", "main.c", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    SetSearchPath(c.m_viewpointPath.c_str(), kViewpointSearchPath);
    SetSearchPath(c.m_globalPath.c_str(), kGlobalSearchPath);
    SourceFileTable table;
    const SourceFileRef ref = SourceFileRef::FromName(table, c.m_fileName.c_str(), 1);
    EXPECT_EQ(Text(table.FindFile(ref.FileIndex())), c.m_expected);
    EXPECT_EQ(table.LineCount(ref.FileIndex()), c.m_lines);
  }
}

TEST_F(SourceLookupTest, TheCurrentDirectoryComesLastUnlessAPathNamesIt) {
  struct Case {
    const char* m_name;
    const char* m_viewpointPath;
    const char* m_globalPath;
    const char* m_expected;
  };
  const Case cases[] = {
      {"after both paths", "a b", "c", "a b c ."},
      {"kept where the viewpoint's path has it", "a . b", "c", "a . b c"},
      {"kept where the global path has it", "a", ". c", "a . c"},
      {"duplicates between the paths dropped", "a b", "b a", "a b ."},
      {"no paths", "", "", "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    SetSearchPath(c.m_viewpointPath, kViewpointSearchPath);
    SetSearchPath(c.m_globalPath, kGlobalSearchPath);
    SourceFileTable table;
    table.FindFile(table.AddFile(SourcePathName("x.c")));
    EXPECT_EQ(Text(table.LookupPath().AsText()), c.m_expected);
  }
}

TEST_F(SourceLookupTest, TheCurrentDirectoryIsSearched) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(m_tree.Root() + "/Inc");
  SourceFileTable table;
  const uint32_t index = table.AddFile(SourcePathName("c:\\elsewhere\\DEFS.h"));
  const std::string found = Text(table.FindFile(index));
  const int32_t lines = table.LineCount(index);
  std::filesystem::current_path(previous);
  EXPECT_EQ(found, ".\\DEFS.h");
  EXPECT_EQ(lines, 2);
}

TEST_F(SourceLookupTest, LookupsAreKeptUntilASearchPathChanges) {
  SetSearchPath(m_srcDir.c_str(), kViewpointSearchPath);
  SetSearchPath(m_otherDir.c_str(), kGlobalSearchPath);
  SourceFileTable table;
  const uint32_t index = table.AddFile(SourcePathName("main.c"));
  const std::string inSrc = Text(SourcePathName((m_srcDir + "\\main.c").c_str()));
  const std::string inOther = Text(SourcePathName((m_otherDir + "\\main.c").c_str()));
  ASSERT_EQ(Text(table.FindFile(index)), inSrc);
  ASSERT_EQ(table.LineCount(index), 3);

  // The disk is not asked again: the file may go away unnoticed.
  m_tree.Remove("Src/Main.C");
  EXPECT_EQ(Text(table.FindFile(index)), inSrc);
  EXPECT_EQ(table.LineCount(index), 3);

  // A search-path change (here one that changes nothing) makes the next lookup look
  // again; the file is now found in the global path and counted again.
  AddToSearchPath(m_srcDir.c_str(), kViewpointSearchPath);
  EXPECT_EQ(Text(table.FindFile(index)), inOther);
  EXPECT_EQ(table.LineCount(index), 1);

  // A path that differs only in case finds "the same" file: the count is kept even
  // though the file grew meanwhile.
  m_tree.Write("Other/main.c", "x\ny\nz\n");
  std::string otherLower = m_otherDir;
  for (char& c : otherLower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  SetSearchPath(otherLower.c_str(), kGlobalSearchPath);
  EXPECT_EQ(Text(table.FindFile(index)), Text(SourcePathName((otherLower + "\\main.c").c_str())));
  EXPECT_EQ(table.LineCount(index), 1);

  // Found nowhere: empty path, count 0; found again later: counted afresh.
  m_tree.Remove("Other/main.c");
  SetSearchPath("", kGlobalSearchPath);
  EXPECT_EQ(Text(table.FindFile(index)), "");
  EXPECT_EQ(table.LineCount(index), 0);
  m_tree.Write("Src/Main.C", "a\nb\nc\nd\ne\n");
  SetSearchPath("", kViewpointSearchPath);
  SetSearchPath(m_srcDir.c_str(), kViewpointSearchPath);
  EXPECT_EQ(Text(table.FindFile(index)), inSrc);
  EXPECT_EQ(table.LineCount(index), 5);
}

TEST_F(SourceLookupTest, MappedDriveReachesTheTree) {
  if (platform::HostPathStyle() != platform::PathStyle::Posix) GTEST_SKIP() << "drives are the host's own";
  platform::MapDrive('S', m_tree.Root());
  SetSearchPath("s:\\SRC", kViewpointSearchPath);
  SourceFileTable table;
  const uint32_t index = table.AddFile(SourcePathName("x:\\build\\main.c"));
  EXPECT_EQ(Text(table.FindFile(index)), "S:\\SRC\\main.c");
  EXPECT_EQ(table.LineCount(index), 3);
}

TEST_F(SourceLookupTest, RefsResolveInTheCurrentContextsTable) {
  SetSearchPath(m_incDir.c_str(), kGlobalSearchPath);
  SymbolContext& own = MakeViewpointWithContext(0x44);
  const SourceFileRef defs = SourceFileRef::FromName(own.SourceFiles(), "defs.h", 7);
  const SourceFileRef none = SourceFileRef::FromName(own.SourceFiles(), "", 7);
  EXPECT_EQ(Text(SourceFileNameOf(defs)), "defs.h");
  EXPECT_EQ(Text(ResolveSourceFileName(defs)), Text(SourcePathName((m_incDir + "\\defs.h").c_str())));
  EXPECT_EQ(SourceFileLineCountOf(defs), 2);
  EXPECT_EQ(Text(SourceFileNameOf(none)), "");
  EXPECT_EQ(Text(ResolveSourceFileName(none)), "");
  EXPECT_EQ(SourceFileLineCountOf(none), 0xFFFF);
  EXPECT_EQ(SourceFileLineCount(OptionalLine()), -1);
  EXPECT_EQ(SourceFileLineCount(OptionalLine::FromRaw(3, defs.FileIndex())), 2);
  // Another viewpoint's table does not know the file.
  PopViewpoint();
  EXPECT_EQ(Text(SourceFileNameOf(defs)), "");
}

TEST_F(SourceLookupTest, LongFilesSaturateTheSixteenBitCount) {
  m_tree.Write("Big/big.c", std::string(70000, '\n'));
  SetSearchPath(ForeignSpelling(m_tree.Root() + "/Big").c_str(), kViewpointSearchPath);
  SymbolContext& own = MakeViewpointWithContext(0x45);
  const SourceFileRef big = SourceFileRef::FromName(own.SourceFiles(), "big.c", 1);
  EXPECT_EQ(own.SourceFiles().LineCount(big.FileIndex()), 70000);
  EXPECT_EQ(SourceFileLineCountOf(big), 0xFFFE);
}

TEST_F(SourceFilesTest, AFullTableTakesNoMoreNames) {
  SourceFileTable table;
  for (uint32_t i = 1; i <= SourceFileTable::kMaxFiles; ++i) {
    const std::string name = "f" + std::to_string(i);
    ASSERT_EQ(table.AddFile(SourcePathName(name.c_str())), i);
  }
  EXPECT_EQ(table.AddFile(SourcePathName("one.more")), 0u);
  const SourceFileRef refused = SourceFileRef::FromName(table, "one.more", 5);
  EXPECT_FALSE(refused.HasFile());
  EXPECT_EQ(refused.FileIndex(), 0u);
  const SourceFileRef last = SourceFileRef::FromName(table, "F65535", 5);
  EXPECT_EQ(last.FileIndex(), 0xFFFFu);
}

}  // namespace
}  // namespace zentor
