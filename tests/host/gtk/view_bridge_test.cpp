#include "host/gtk/view_bridge.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using view_bridge::WithPagePolicy;

constexpr std::string_view kMeta = "<meta http-equiv=\"Content-Security-Policy\"";

TEST(ViewBridge, PolicyGoesFirstIntoTheHeadWhereverTheHeadIs) {
  const std::string page = WithPagePolicy(
      "<!DOCTYPE html><!-- <head> in a comment --><HTML><Head lang=en><script>x()</script>"
      "</head><body><header>h</header></body></HTML>");
  const auto meta = page.find(kMeta);
  ASSERT_NE(meta, std::string::npos);
  EXPECT_EQ(page.find("<Head lang=en>") + 14, meta);
  EXPECT_LT(meta, page.find("<script>"));
  EXPECT_EQ(page.find(kMeta, meta + 1), std::string::npos);
}

TEST(ViewBridge, PolicyWithoutHeadKeepsTheDoctypeFirst) {
  EXPECT_EQ(WithPagePolicy("<html><body>x</body></html>").find(kMeta), 6u);
  // "<header" is not a head; without html or head tags the meta follows the doctype.
  const std::string page = WithPagePolicy("<!doctype html><header>x</header>");
  EXPECT_EQ(page.find(kMeta), 15u);
  EXPECT_EQ(WithPagePolicy("plain").find(kMeta), 0u);
  EXPECT_EQ(WithPagePolicy("").find(kMeta), 0u);
  // A head start tag cut off at the end of the text.
  EXPECT_NE(WithPagePolicy("<head").find(kMeta), std::string::npos);
  EXPECT_NE(WithPagePolicy("<!--").find(kMeta), std::string::npos);
}

}  // namespace
}  // namespace corvane
