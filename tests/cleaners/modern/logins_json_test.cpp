#include "cleaners/modern/logins_json.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

TEST(LoginsJsonTest, ReadsOnlyTheSitesAndRewritesKeptLoginsByteForByte) {
  // Escapes in the sites are decoded; those in every other value stay as written.
  const std::string kept =
      "{\"id\":2,\"hostname\":\"https://b\\u00FCcher.test\",\"formSubmitURL\":null,"
      "\"encryptedPassword\":\"MDoE\\u002B\\/x==\",\"nested\":{\"a\":[1,-2.5e+3,true,null]}}";
  const std::string text =
      "{\"nextId\":4, \"logins\" : [ {\"hostname\":\"https:\\/\\/a.test\","
      "\"formSubmitURL\":\"https://a.test/go\",\"encryptedPassword\":\"AAA\"} ,\n" +
      kept + ",{\"formSubmitURL\":\"https://c.test\"}],\"version\":3,\"x\":\"\\ud83d\\ude00\"}";
  LoginsJson json;
  ASSERT_EQ(json.Parse(text), LoginsJsonStatus::Ok);
  ASSERT_EQ(json.Logins().size(), 3u);
  EXPECT_EQ(json.Logins()[0].hostname, "https://a.test");
  EXPECT_EQ(json.Logins()[0].formSubmitUrl, "https://a.test/go");
  EXPECT_EQ(json.Logins()[1].hostname,
            "https://b\xC3\xBC"
            "cher.test");
  EXPECT_EQ(json.Logins()[1].formSubmitUrl, "");
  EXPECT_EQ(json.Logins()[2].hostname, "");
  EXPECT_EQ(text.substr(json.Logins()[1].begin, json.Logins()[1].end - json.Logins()[1].begin),
            kept);

  const std::string without = json.Without({true, false, true});
  EXPECT_EQ(without,
            "{\"nextId\":4, \"logins\" : [" + kept + "],\"version\":3,\"x\":\"\\ud83d\\ude00\"}");
  LoginsJson again;
  ASSERT_EQ(again.Parse(without), LoginsJsonStatus::Ok);
  EXPECT_EQ(again.Logins().size(), 1u);
  EXPECT_EQ(json.Without({true, true, true}),
            "{\"nextId\":4, \"logins\" : [],\"version\":3,\"x\":\"\\ud83d\\ude00\"}");
  EXPECT_EQ(json.Without({}), json.Without({false, false, false}));
  ASSERT_EQ(again.Parse(json.Without({false, false, false})), LoginsJsonStatus::Ok);
  EXPECT_EQ(again.Logins().size(), 3u);
}

TEST(LoginsJsonTest, AnythingButStrictJsonIsRefused) {
  const std::vector<std::string> invalid = {
      "",
      "{",
      "{\"logins\":[{\"hostname\":\"https://a.test\"}]",      // cut short
      "{\"logins\":[{\"hostname\":\"https://a.test\"},]}",    // trailing comma
      "{\"logins\":[{\"hostname\":\"https://a.test\nx\"}]}",  // raw line feed in a string
      "{\"logins\":[{\"hostname\":\"\\x41\"}]}",              // no such escape
      "{\"logins\":[{\"hostname\":\"\\u12\"}]}",              // short \u
      "{\"logins\":[],\"n\":01}",                             // leading zero
      "{\"logins\":[],\"n\":1.}",                             // no fraction digits
      "{\"logins\":[],\"n\":tru}",                            // no literal
      "{\"logins\":[]} x",                                    // text after the document
      "{'logins':[]}",                                        // not JSON quotes
      "{\"logins\":[{\"hostname\" \"https://a.test\"}]}",     // no colon
      std::string(100000, '[') + std::string(100000, ']'),    // too deep
      "{\"logins\":[]," + std::string(70, '[') + "}",         // too deep, and cut short
  };
  for (const std::string& text : invalid) {
    LoginsJson json;
    EXPECT_EQ(json.Parse(text), LoginsJsonStatus::Invalid) << text.substr(0, 80);
    EXPECT_TRUE(json.Logins().empty());
  }
  EXPECT_EQ(LoginsJson().Parse(std::string(kMaxLoginsJson + 1, ' ')), LoginsJsonStatus::Invalid);
}

TEST(LoginsJsonTest, JsonWithoutALoginsArrayOfObjectsIsNoLoginsFile) {
  for (const std::string text :
       {"{}", "[]", "\"logins\"", "{\"logins\":{}}", "{\"logins\":[1]}", "{\"logins\":[{}, \"x\"]}",
        "{\"logins\":[],\"logins\":[]}", "{\"other\":[{}]}"}) {
    LoginsJson json;
    EXPECT_EQ(json.Parse(text), LoginsJsonStatus::NoLogins) << text;
    EXPECT_TRUE(json.Logins().empty());
  }
  LoginsJson json;
  ASSERT_EQ(json.Parse(" {\"logins\":[]} "), LoginsJsonStatus::Ok);
  EXPECT_TRUE(json.Logins().empty());
  EXPECT_EQ(json.Without({}), " {\"logins\":[]} ");
}

}  // namespace
}  // namespace corvane
