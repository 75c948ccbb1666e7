#include "platform/registry_hive_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace corvane {
namespace {

std::string ReadFixture(const std::string& name) {
  std::ifstream in(std::string(CORVANE_FIXTURES_DIR) + "/wine/" + name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(RegistryHiveFile, WinebootHivesRoundTripByteForByte) {
  for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
    const std::string text = ReadFixture(name);
    ASSERT_FALSE(text.empty()) << name;
    RegistryHive hive;
    ASSERT_TRUE(ParseHive(text, name, hive)) << hive.parseError;
    EXPECT_EQ(SerializeHive(hive), text) << name;
  }
}

}  // namespace
}  // namespace corvane
