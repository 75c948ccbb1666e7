#include "platform/dom/change.h"

#include <gtest/gtest.h>

namespace corvane::dom {
namespace {

TEST(ChangeTest, EveryKindBecomesOneJsonObject) {
  const std::vector<Change> changes{
      {ChangeKind::kSetInnerHtml, 5, "", "<p data-n=\"9\">x</p>", 0, 0},
      {ChangeKind::kSetInnerText, 6, "", "a\nb", 0, 0},
      {ChangeKind::kInsertAdjacentHtml, 7, "beforeend", "<li>", 0, 0},
      {ChangeKind::kSetAttribute, 8, "sord", "DESC", 0, 0},
      {ChangeKind::kRemoveAttribute, 8, "class", "", 0, 0},
      {ChangeKind::kMoveRow, 4294967295u, "", "", 3, 0}};
  EXPECT_EQ(ChangesToJson(changes),
            "[{\"op\":\"html\",\"n\":5,\"html\":\"\\u003cp data-n=\\\"9\\\"\\u003ex\\u003c/p"
            "\\u003e\"},"
            "{\"op\":\"text\",\"n\":6,\"text\":\"a\\nb\"},"
            "{\"op\":\"insert\",\"n\":7,\"where\":\"beforeend\",\"html\":\"\\u003cli\\u003e\"},"
            "{\"op\":\"attr\",\"n\":8,\"name\":\"sord\",\"value\":\"DESC\"},"
            "{\"op\":\"unattr\",\"n\":8,\"name\":\"class\"},"
            "{\"op\":\"moveRow\",\"n\":4294967295,\"from\":3,\"to\":0}]");
  EXPECT_EQ(ChangesToJson({}), "[]");
}

TEST(ChangeTest, TextThatCouldEndAStringOrAScriptIsEscaped) {
  const std::string text = std::string("q\"\\</script>&\t\r\x01\x1F", 17) +
                           "\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xA6\xC3\xA9";
  EXPECT_EQ(ChangesToJson({{ChangeKind::kSetInnerText, 1, "", text, 0, 0}}),
            "[{\"op\":\"text\",\"n\":1,\"text\":\"q\\\"\\\\\\u003c/script\\u003e\\u0026\\t\\r"
            "\\u0001\\u001f\\u2028\\u2029\xE2\x80\xA6\xC3\xA9\"}]");
}

}  // namespace
}  // namespace corvane::dom
