#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/binary_file.h"

namespace zentor::platform {
namespace {

TEST(FileSystem, TemporaryFilesHaveUniqueNames) {
  std::set<std::string> names;
  for (int i = 0; i < 60; ++i) {
    std::string name = CreateTemporaryFile("zfs");
    ASSERT_FALSE(name.empty());
    EXPECT_TRUE(names.insert(name).second) << name << " given twice";
    FileStatus status = StatFile(name);
    EXPECT_TRUE(status.m_exists);
    EXPECT_FALSE(status.m_isDirectory);
    EXPECT_EQ(status.m_size, 0);
    // The name lies in the temporary directory and starts with the prefix.
    std::string directory = TemporaryDirectory();
    EXPECT_EQ(name.compare(0, directory.size(), directory), 0) << name;
    EXPECT_NE(name.find("zfs", directory.size()), std::string::npos) << name;
  }
  for (const std::string& name : names) EXPECT_TRUE(RemoveFile(name));
  for (const std::string& name : names) EXPECT_FALSE(FileExists(name));
}

TEST(FileSystem, StatRemoveRename) {
  std::string path = CreateTemporaryFile("zst");
  ASSERT_FALSE(path.empty());
  {
    BinaryFile file(path, FileOpenMode::ReadWrite);
    ASSERT_EQ(file.Write("0123456789", 10), 10u);
  }
  std::string renamed = path + ".renamed";
  struct Case {
    const char* m_name;
    std::string m_path;
    bool m_exists;
    bool m_isDirectory;
    int64_t m_size;
  };
  const Case before[] = {
      {"file", path, true, false, 10},
      {"missing", renamed, false, false, -1},
      {"directory", TemporaryDirectory(), true, true, -1},
      {"empty name", "", false, false, -1},
  };
  for (const Case& c : before) {
    SCOPED_TRACE(c.m_name);
    EXPECT_EQ(FileExists(c.m_path), c.m_exists);
    EXPECT_EQ(IsDirectory(c.m_path), c.m_isDirectory);
    EXPECT_EQ(FileSize(c.m_path), c.m_size);
  }
  EXPECT_GT(StatFile(path).m_modifiedTime, 946684800);  // after 2000-01-01
  EXPECT_TRUE(RenameFile(path, renamed));
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(FileSize(renamed), 10);
  // A rename onto an existing file fails and loses neither file.
  const std::string other = CreateTemporaryFile("zentor_fs_other");
  ASSERT_FALSE(other.empty());
  EXPECT_FALSE(RenameFile(other, renamed));
  EXPECT_EQ(FileSize(other), 0);
  EXPECT_EQ(FileSize(renamed), 10);
  // The replacing rename puts the other file in its place; a missing source changes
  // nothing.
  EXPECT_FALSE(RenameReplacing(path, renamed));
  EXPECT_EQ(FileSize(renamed), 10);
  EXPECT_TRUE(RenameReplacing(renamed, other));
  EXPECT_FALSE(FileExists(renamed));
  EXPECT_EQ(FileSize(other), 10);
  EXPECT_TRUE(RenameReplacing(other, renamed));
  EXPECT_FALSE(FileExists(other));
  EXPECT_EQ(FileSize(renamed), 10);
  EXPECT_FALSE(RemoveFile(other));
  EXPECT_FALSE(RemoveFile(path));
  EXPECT_FALSE(RemoveFile(TemporaryDirectory()));
  EXPECT_TRUE(RemoveFile(renamed));
  EXPECT_FALSE(RemoveFile(renamed));
}

TEST(FileSystem, ProgramAndCurrentDirectory) {
  EXPECT_TRUE(IsDirectory(CurrentDirectory()));
  std::string program = ProgramPath();
  EXPECT_TRUE(FileExists(program)) << program;
  EXPECT_GT(FileSize(program), 0);
  EXPECT_NE(program.find("platform_tests"), std::string::npos) << program;
  EXPECT_NE(program.find(PathSeparator()), std::string::npos) << program;
}

}  // namespace
}  // namespace zentor::platform
