#include "platform/named_object.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/last_error.h"
#include "tests/support/scratch_folder.h"

namespace corvane {
namespace {

TEST(NamedObjectTest, FileNamesStayReadableAndNeverCollide) {
  EXPECT_EQ(NamedObjectFileName("Global\\CHalvikCriticalSection_HalvikTrace", ".lock"),
            "Global%5CCHalvikCriticalSection_HalvikTrace.lock");
  EXPECT_EQ(NamedObjectFileName(std::string("a/b c\n\0", 7), ""), "a%2Fb c%0A%00");
  // The escape character is escaped too, so a name that spells an escape is another file.
  EXPECT_EQ(NamedObjectFileName("a%5Cb", ".lock"), "a%255Cb.lock");
  EXPECT_FALSE(NamedObjectFileName("", ".lock"));
  EXPECT_FALSE(NamedObjectFileName("..", ""));
  EXPECT_TRUE(NamedObjectFileName(std::string(250, 'n'), ".lock"));
  EXPECT_FALSE(NamedObjectFileName(std::string(90, '/'), ""));  // escapes count in full
}

TEST(NamedObjectTest, PrivateFolderIsMadeClosedAndPlantedOnesAreRefused) {
  const test::ScratchFolder scratch;
  const std::string folder = scratch / "objects";
  ASSERT_EQ(PrivateFolder(folder), folder);
  struct stat st {};
  ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(PrivateFolder(folder), folder);  // accepted again once it exists

  std::filesystem::create_directory_symlink(folder, scratch / "link");
  EXPECT_FALSE(PrivateFolder(scratch / "link"));  // even a link to a folder of ours
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  EXPECT_FALSE(PrivateFolder(folder));
  EXPECT_FALSE(PrivateFolder(scratch.Write("file", "x")));
}

}  // namespace
}  // namespace corvane
