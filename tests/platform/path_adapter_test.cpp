#include "platform/path_adapter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/file_system.h"

namespace zentor::platform {
namespace {

namespace fs = std::filesystem;

// A fresh directory tree under the temporary directory, removed with its contents.
class ScratchTree {
 public:
  ScratchTree() {
    const std::string marker = CreateTemporaryFile("zpa");
    EXPECT_FALSE(marker.empty());
    m_marker = marker;
    m_root = fs::path(marker + ".d");
    fs::create_directories(m_root);
  }
  ~ScratchTree() {
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
    RemoveFile(m_marker);
  }
  ScratchTree(const ScratchTree&) = delete;
  ScratchTree& operator=(const ScratchTree&) = delete;

  // Creates a file (and its directories) under the root; its host path.
  std::string AddFile(const std::string& relative, const std::string& text = "x\n") const {
    const fs::path path = m_root / fs::path(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  std::string Root() const { return m_root.string(); }

 private:
  std::string m_marker;
  fs::path m_root;
};

// How a user on Windows would write the host path: backslashes, upper case, and on
// POSIX a drive letter in front (an unmapped drive stands for the root).
std::string ForeignSpelling(const std::string& hostPath) {
  std::string text = hostPath;
  std::replace(text.begin(), text.end(), '/', '\\');
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  return HostPathStyle() == PathStyle::Posix ? "c:" + text : text;
}

class PathAdapterTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearDriveMap(); }
  void TearDown() override { ClearDriveMap(); }
};

TEST_F(PathAdapterTest, HostSpellingOfDebuggerPaths) {
  MapDrive('d', "/mnt/d/");
  MapDrive('E', "/");
  MapDrive('1', "/never");  // not a drive letter: ignored
  struct Case {
    const char* m_name;
    const char* m_path;
    PathStyle m_style;
    const char* m_expected;
  };
  const Case cases[] = {
      {"relative backslashes", "src\\sub\\a.c", PathStyle::Posix, "src/sub/a.c"},
      {"mixed separators", "src/sub\\a.c", PathStyle::Posix, "src/sub/a.c"},
      {"unmapped drive dropped", "C:\\src\\a.c", PathStyle::Posix, "/src/a.c"},
      {"unmapped drive-relative", "c:a.c", PathStyle::Posix, "a.c"},
      {"mapped drive", "D:\\src\\a.c", PathStyle::Posix, "/mnt/d/src/a.c"},
      {"mapped drive lower case, relative", "d:a.c", PathStyle::Posix, "/mnt/d/a.c"},
      {"mapped to the root", "e:\\x\\y", PathStyle::Posix, "/x/y"},
      {"mapped to the root, relative", "E:x", PathStyle::Posix, "/x"},
      {"digit is no drive", "1:\\x", PathStyle::Posix, "1:/x"},
      {"drive alone", "C:", PathStyle::Posix, ""},
      {"empty", "", PathStyle::Posix, ""},
      {"already POSIX", "/usr/src/a.c", PathStyle::Posix, "/usr/src/a.c"},
      {"network name", "\\\\server\\share\\a.c", PathStyle::Posix, "//server/share/a.c"},
      {"Windows passes through", "C:\\src/a.c", PathStyle::Win32, "C:\\src/a.c"},
      {"Windows keeps relative", "src\\a.c", PathStyle::Win32, "src\\a.c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    EXPECT_EQ(HostPathText(c.m_path, c.m_style), c.m_expected);
  }
}

TEST_F(PathAdapterTest, DrivePrefixRecognition) {
  struct Case {
    const char* m_path;
    bool m_expected;
  };
  const Case cases[] = {{"C:", true}, {"z:\\a", true}, {"C", false}, {"CC:", false},
                        {":C", false}, {"1:", false}, {"", false}, {"\\C:", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_path);
    EXPECT_EQ(HasDrivePrefix(c.m_path), c.m_expected);
  }
}

// Against a reference written from the rule: without a drive map the POSIX spelling
// is the text after any drive prefix with every backslash made a slash.
TEST_F(PathAdapterTest, RandomPathsMatchTheUnmappedRule) {
  const uint32_t seed = 20240611;
  std::mt19937 random(seed);
  const std::string alphabet = "aBz.\\/: 1";
  for (int round = 0; round < 2000; ++round) {
    std::string path;
    const int length = static_cast<int>(random() % 12);
    for (int i = 0; i < length; ++i) path += alphabet[random() % alphabet.size()];
    std::string expected = path;
    const bool drive = expected.size() >= 2 && expected[1] == ':' &&
                       ((expected[0] >= 'a' && expected[0] <= 'z') || (expected[0] >= 'A' && expected[0] <= 'Z'));
    if (drive) expected.erase(0, 2);
    for (char& c : expected) {
      if (c == '\\') c = '/';
    }
    ASSERT_EQ(HostPathText(path, PathStyle::Posix), expected) << "seed " << seed << " path \"" << path << "\"";
    ASSERT_EQ(HostPathText(path, PathStyle::Win32), path) << "seed " << seed;
  }
}

TEST_F(PathAdapterTest, ResolvesComponentsWithoutRegardToCase) {
  if (HostPathStyle() != PathStyle::Posix) GTEST_SKIP() << "the host file system ignores case itself";
  ScratchTree tree;
  const std::string main = tree.AddFile("Src/Sub/Main.C");
  const std::string upper = tree.AddFile("dup/DUP.txt");
  const std::string lower = tree.AddFile("dup/dup.txt");
  const std::string root = tree.Root();
  std::string rootBackslashed = root;
  std::replace(rootBackslashed.begin(), rootBackslashed.end(), '/', '\\');
  MapDrive('Q', root);
  struct Case {
    const char* m_name;
    std::string m_path;
    std::string m_expected;
  };
  const Case cases[] = {
      {"as written", main, main},
      {"every component in other case", ForeignSpelling(main), main},
      {"backslashes and lower case", rootBackslashed + "\\src\\sub\\main.c", main},
      {"mapped drive", "q:\\SRC\\sub\\MAIN.c", main},
      {"directory", rootBackslashed + "\\SRC\\SUB", root + "/Src/Sub"},
      {"exact spelling wins over another case", root + "/dup/dup.txt", lower},
      {"of two matches the one sorting first", rootBackslashed + "\\DUP\\Dup.TXT", upper},
      {"missing file", rootBackslashed + "\\src\\sub\\other.c", ""},
      {"missing directory", rootBackslashed + "\\nosuch\\main.c", ""},
      {"file used as directory", rootBackslashed + "\\src\\sub\\main.c\\x", ""},
      {"dot components kept", rootBackslashed + "\\SRC\\.\\sub\\..\\SUB\\main.c", root + "/Src/./Sub/../Sub/Main.C"},
      {"empty", "", ""},
      {"too long", root + "/" + std::string(kMaxHostPathLength, 'a'), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    EXPECT_EQ(ResolveHostPath(c.m_path, PathStyle::Posix), c.m_expected);
  }
}

// A path whose components have no other spelling resolves to itself exactly when the
// C++ library finds something there (links followed), and to nothing otherwise.
TEST_F(PathAdapterTest, APathResolvesAsWrittenWhenTheLibrarySeesItThere) {
  if (HostPathStyle() != PathStyle::Posix) GTEST_SKIP() << "the host file system ignores case itself";
  ScratchTree tree;
  const std::string file = tree.AddFile("lib/util.asm");
  const std::string root = tree.Root();
  std::error_code error;
  fs::create_symlink(file, root + "/to-file", error);
  fs::create_symlink(root + "/lib", root + "/to-dir", error);
  fs::create_symlink(root + "/gone", root + "/dangling", error);
  fs::create_symlink(root + "/loop", root + "/loop", error);
  const std::string paths[] = {file,
                               root + "/lib",
                               root + "/lib/",
                               root + "/lib/missing.asm",
                               root + "/missing/util.asm",
                               file + "/x",
                               root + "/to-file",
                               root + "/to-dir/util.asm",
                               root + "/dangling",
                               root + "/loop",
                               root + "/lib/./util.asm",
                               root + "/lib/../lib/util.asm"};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    EXPECT_EQ(ResolveHostPath(path, PathStyle::Posix), fs::exists(path, error) ? path : "");
  }
}

TEST_F(PathAdapterTest, RelativePathsResolveFromTheCurrentDirectory) {
  if (HostPathStyle() != PathStyle::Posix) GTEST_SKIP() << "the host file system ignores case itself";
  ScratchTree tree;
  tree.AddFile("Src/Main.C");
  const fs::path previous = fs::current_path();
  fs::current_path(tree.Root());
  const std::string found = ResolveHostPath("src\\main.c", PathStyle::Posix);
  const std::string dotted = ResolveHostPath(".\\SRC\\MAIN.C", PathStyle::Posix);
  fs::current_path(previous);
  EXPECT_EQ(found, "Src/Main.C");
  EXPECT_EQ(dotted, "./Src/Main.C");
}

TEST_F(PathAdapterTest, OpensOnlyExistingRegularFiles) {
  ScratchTree tree;
  const std::string file = tree.AddFile("Lib/Util.Asm", "mov ax,1\n");
  const std::string directory = tree.Root() + "/Lib";
  struct Case {
    const char* m_name;
    std::string m_path;
    bool m_expected;
  };
  const Case cases[] = {
      {"file as the host names it", file, true},
      {"file as written on Windows", ForeignSpelling(file), true},
      {"directory", directory, false},
      {"directory as written on Windows", ForeignSpelling(directory), false},
      {"missing", file + ".bak", false},
      {"empty", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    EXPECT_EQ(CanOpenForReading(c.m_path), c.m_expected);
  }
  // Asking creates nothing.
  EXPECT_FALSE(FileExists(file + ".bak"));
}

}  // namespace
}  // namespace zentor::platform
