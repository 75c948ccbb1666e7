#include "platform/file_mask.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

TEST(FileMaskTest, StarAndQuestionMarkIgnoreCase) {
  EXPECT_TRUE(MatchFileMask("a.xml", "*.x?l"));
  EXPECT_TRUE(MatchFileMask("A.XSL", "*.x?l"));
  EXPECT_FALSE(MatchFileMask("a.xml.bak", "*.x?l"));
  EXPECT_TRUE(MatchFileMask("Messages2005.XML", "messages*.*"));
  EXPECT_FALSE(MatchFileMask("OldMessages.xml", "messages*.*"));
  EXPECT_TRUE(MatchFileMask("\xC3\x89T\xC3\x89.doc", "\xC3\xA9t\xC3\xA9*"));  // ÉTÉ / été
}

TEST(FileMaskTest, StarDotStarMatchesEveryName) {
  for (const char* name : {"noext", "a.b", "a.b.c", ".hidden", "trailing.", ".", ".."}) {
    EXPECT_TRUE(MatchFileMask(name, "*.*")) << name;
    EXPECT_TRUE(MatchFileMask(name, "*")) << name;
  }
}

TEST(FileMaskTest, DotsFollowTheDosRules) {
  // "*." is every name without an extension.
  EXPECT_TRUE(MatchFileMask("noext", "*."));
  EXPECT_FALSE(MatchFileMask("a.txt", "*."));
  // A star before a dot stops at the last dot.
  EXPECT_TRUE(MatchFileMask("b.tar.txt", "*.txt"));
  EXPECT_TRUE(MatchFileMask(".txt", "*.txt"));
  EXPECT_FALSE(MatchFileMask("txt", "*.txt"));
  EXPECT_FALSE(MatchFileMask("a.txt.bak", "*.txt"));
  // "?" matches nothing at a dot or at the end, and never the dot itself.
  EXPECT_TRUE(MatchFileMask("file.c", "file.??"));
  EXPECT_TRUE(MatchFileMask("file.cc", "file.??"));
  EXPECT_FALSE(MatchFileMask("file.ccc", "file.??"));
  EXPECT_TRUE(MatchFileMask("a.txt", "a??.txt"));
  EXPECT_FALSE(MatchFileMask("a.b", "a?b"));
  // A plain name matches itself only, in any case.
  EXPECT_TRUE(MatchFileMask("Index.DAT", "index.dat"));
  EXPECT_FALSE(MatchFileMask("index.dat2", "index.dat"));
}

TEST(FileMaskTest, EmptyAndHostileMasks) {
  EXPECT_FALSE(MatchFileMask("anything", ""));
  EXPECT_FALSE(FileMask("name.txt").HasWildcards());
  EXPECT_TRUE(FileMask("*.*").MatchesEverything());
  // Many stars must not make the match backtrack without end.
  EXPECT_FALSE(MatchFileMask(std::string(250, 'a'), "*a*a*a*a*a*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(MatchFileMask(std::string(250, 'a') + "b", "*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}

}  // namespace
}  // namespace corvane
