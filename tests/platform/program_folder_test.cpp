#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corvane {
namespace {

TEST(ProgramFolderTest, ExecutablesFolderUnlessOverridden) {
  SetProgramFolder("/opt/corvane/");
  EXPECT_EQ(ProgramFolder(), "/opt/corvane");
  SetProgramFolder("");
  EXPECT_EQ(ProgramFolder(), std::filesystem::read_symlink("/proc/self/exe").parent_path());
}

TEST(ProgramFolderTest, RelativePathsStayInsideTheFolder) {
  SetProgramFolder("/opt/corvane");
  EXPECT_EQ(ProgramFilePath("\\html\\\\English/./btn_scan.html"),
            "/opt/corvane/html/English/btn_scan.html");
  EXPECT_EQ(ProgramFilePath("/etc/passwd"), "/opt/corvane/etc/passwd");
  EXPECT_EQ(ProgramFilePath("..."), "/opt/corvane/...");  // only ".." itself climbs
  EXPECT_FALSE(ProgramFilePath("html\\..\\..\\secret"));
  SetProgramFolder("/");
  EXPECT_EQ(ProgramFilePath("html/x"), "/html/x");
  SetProgramFolder("");
}

}  // namespace
}  // namespace corvane
