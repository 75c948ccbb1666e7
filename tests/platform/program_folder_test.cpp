#include "platform/program_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace corvane {
namespace {

TEST(ProgramFolderTest, IsTheFolderOfTheRunningExecutable) {
  SetProgramFolder("");
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(ProgramFolder(), self.parent_path().string());
}

TEST(ProgramFolderTest, OverrideWinsUntilCleared) {
  SetProgramFolder("/opt/corvane/");
  EXPECT_EQ(ProgramFolder(), "/opt/corvane");
  EXPECT_EQ(ProgramFilePath("html\\Common/layout.html"), "/opt/corvane/html/Common/layout.html");
  SetProgramFolder("");
  EXPECT_NE(ProgramFolder(), "/opt/corvane");
}

TEST(ProgramFolderTest, RelativePathsStayInsideTheFolder) {
  SetProgramFolder("/opt/corvane");
  EXPECT_EQ(ProgramFilePath("\\html\\\\English\\.\\btn_scan.html"),
            "/opt/corvane/html/English/btn_scan.html");
  EXPECT_EQ(ProgramFilePath("/etc/passwd"), "/opt/corvane/etc/passwd");
  EXPECT_EQ(ProgramFilePath(""), "/opt/corvane");
  EXPECT_EQ(ProgramFilePath("..."), "/opt/corvane/...");  // only ".." itself climbs
  EXPECT_FALSE(ProgramFilePath(".."));
  EXPECT_FALSE(ProgramFilePath("html\\..\\..\\secret"));
  EXPECT_FALSE(ProgramFilePath("html/English/../../../etc/passwd"));

  SetProgramFolder("/");
  EXPECT_EQ(ProgramFilePath("html/x"), "/html/x");
  EXPECT_EQ(ProgramFilePath(""), "/");
  SetProgramFolder("");
}

}  // namespace
}  // namespace corvane
