#include "platform/named_object.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/last_error.h"
#include "tests/support/scratch_folder.h"

namespace corvane {
namespace {

TEST(NamedObjectTest, FileNamesStayReadableAndNeverCollide) {
  EXPECT_EQ(NamedObjectFileName("Global\\CHalvikCriticalSection_HalvikTrace", ".lock"),
            "Global%5CCHalvikCriticalSection_HalvikTrace.lock");
  EXPECT_EQ(NamedObjectFileName("a/b c", ".sock"), "a%2Fb c.sock");
  // The escape character is escaped itself, so a name spelling an escape is a different file.
  EXPECT_EQ(NamedObjectFileName("a%5Cb", ".lock"), "a%255Cb.lock");
  EXPECT_NE(NamedObjectFileName("a\\b", ".lock"), NamedObjectFileName("a%5Cb", ".lock"));
  EXPECT_EQ(NamedObjectFileName(std::string("x\n\0y", 4), ""), "x%0A%00y");
  EXPECT_EQ(NamedObjectFileName("..", ".lock"), "...lock");
}

TEST(NamedObjectTest, EmptyAndOverlongNamesAreRefused) {
  EXPECT_FALSE(NamedObjectFileName("", ".lock"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  EXPECT_FALSE(NamedObjectFileName("..", ""));
  EXPECT_TRUE(NamedObjectFileName(std::string(250, 'n'), ".lock"));
  EXPECT_FALSE(NamedObjectFileName(std::string(251, 'n'), ".lock"));
  // Escapes count with their full width.
  EXPECT_FALSE(NamedObjectFileName(std::string(90, '/'), ""));
}

TEST(NamedObjectTest, PrivateFolderIsCreatedClosedToOthers) {
  const test::ScratchFolder scratch;
  const std::string folder = scratch / "objects";
  ASSERT_EQ(PrivateFolder(folder), folder);
  struct stat st {};
  ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(PrivateFolder(folder), folder);  // and accepted again once it exists
}

TEST(NamedObjectTest, PlantedOrOpenFoldersAreRefused) {
  const test::ScratchFolder scratch;
  const std::string real = scratch / "real";
  ASSERT_TRUE(PrivateFolder(real));
  const std::string link = scratch / "link";
  std::filesystem::create_directory_symlink(real, link);
  EXPECT_FALSE(PrivateFolder(link));  // even a link to a folder that is ours
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  const std::string open = scratch / "open";
  ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0755), 0);
  EXPECT_FALSE(PrivateFolder(open));

  EXPECT_FALSE(PrivateFolder(scratch.Write("file", "x")));
  EXPECT_FALSE(PrivateFolder(scratch / "missing/below"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(NamedObjectTest, RuntimeFolderIsPreferredWhenItExists) {
  const test::ScratchFolder scratch;
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string restore = saved != nullptr ? saved : "";

  ::setenv("XDG_RUNTIME_DIR", scratch.Path().c_str(), 1);
  EXPECT_EQ(NamedObjectFolder(), scratch.Path().string());

  const std::string fallback = "/tmp/corvane-" + std::to_string(::geteuid());
  ::setenv("XDG_RUNTIME_DIR", (scratch / "missing").c_str(), 1);
  EXPECT_EQ(NamedObjectFolder(), fallback);
  ::setenv("XDG_RUNTIME_DIR", "relative", 1);
  EXPECT_EQ(NamedObjectFolder(), fallback);

  if (saved != nullptr) {
    ::setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

}  // namespace
}  // namespace corvane
