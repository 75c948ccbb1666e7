#include "host/gtk/page_url_policy.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class PageUrlPolicyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "program" / "html" / "Common");
    fs::create_directories(root_ / "outside");
    fs::create_directories(root_ / "program2");
    fs::create_directory_symlink(root_ / "outside", root_ / "program" / "html" / "escape");
  }

  std::string Url(const fs::path& path) const { return "file://" + path.string(); }

  TempDir dir_;
  const fs::path& root_ = dir_.Path();
};

TEST_F(PageUrlPolicyTest, AllowsOnlyFilePagesBelowTheProgramFolder) {
  const PageUrlPolicy policy(root_ / "program" / "");
  const fs::path page = root_ / "program" / "html" / "Common" / "layout.html";
  EXPECT_TRUE(policy.Allows(Url(page)));
  EXPECT_TRUE(policy.Allows(Url(page) + "#top"));
  EXPECT_TRUE(policy.Allows(Url(root_ / "program" / "html" / "not yet there.html")));
  EXPECT_TRUE(policy.Allows("file://" + (root_ / "program" / "html").string() + "/a%20b.html"));

  EXPECT_FALSE(policy.Allows(Url(root_ / "program")));              // the folder itself is no page
  EXPECT_FALSE(policy.Allows(Url(root_ / "program2" / "x.html")));  // a prefix is not enough
  EXPECT_FALSE(policy.Allows(Url(root_ / "program" / "html" / ".." / ".." / "outside" / "x")));
  EXPECT_FALSE(policy.Allows(Url(root_ / "program" / "html" / "escape" / "x.html")));
  EXPECT_FALSE(policy.Allows("http://example.com/"));
  EXPECT_FALSE(policy.Allows("file://otherhost" + page.string()));
  EXPECT_FALSE(policy.Allows("about:blank"));
  EXPECT_FALSE(policy.Allows("data:text/html,hi"));
  EXPECT_FALSE(policy.Allows(page.string()));  // a path is not a URL
  EXPECT_FALSE(policy.Allows(""));
}

}  // namespace
}  // namespace corvane
