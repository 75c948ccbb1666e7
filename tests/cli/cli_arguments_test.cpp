#include "cli/cli_arguments.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

CliParseResult Parse(std::vector<std::string_view> arguments) {
  return ParseCliArguments(arguments);
}

TEST(CliArgumentsTest, CommandsWithTheirOptionsInAnyOrder) {
  const CliParseResult scan = Parse({"--only", "CuPl_A.pld,CuPl_B.pld", "scan", "--details",
                                     "--machine=/tmp/p", "--only=RecycleBin", "--json"});
  ASSERT_TRUE(scan.arguments) << scan.error;
  EXPECT_EQ(scan.arguments->command, CliCommand::Scan);
  EXPECT_EQ(scan.arguments->only,
            (std::vector<std::string>{"CuPl_A.pld", "CuPl_B.pld", "RecycleBin"}));
  EXPECT_TRUE(scan.arguments->details);
  EXPECT_TRUE(scan.arguments->json);
  EXPECT_EQ(scan.arguments->machine, std::filesystem::path("/tmp/p"));

  const CliParseResult erase = Parse({"erase", "--yes"});
  ASSERT_TRUE(erase.arguments);
  EXPECT_TRUE(erase.arguments->yes);
  EXPECT_FALSE(erase.arguments->machine);
  EXPECT_FALSE(erase.arguments->allowForeignOwner);
  EXPECT_TRUE(Parse({"list", "--allow-foreign-owner"}).arguments->allowForeignOwner);

  const CliParseResult restart = Parse({"erase", "--yes", "--restart-wine"});
  ASSERT_TRUE(restart.arguments);
  EXPECT_TRUE(restart.arguments->restartWine);
  const CliParseResult stats = Parse({"stats", "--json"});
  ASSERT_TRUE(stats.arguments);
  EXPECT_EQ(stats.arguments->command, CliCommand::Stats);
  EXPECT_FALSE(Parse({"scan", "--restart-wine"}).arguments);  // only an erase leaves files
  EXPECT_FALSE(Parse({"stats", "--only", "CuPl_A.pld"}).arguments);

  const CliParseResult set = Parse({"options", "set", "Owerwrite", "on", "--json"});
  ASSERT_TRUE(set.arguments) << set.error;
  EXPECT_EQ(set.arguments->command, CliCommand::Options);
  EXPECT_EQ(set.arguments->optionName, "Owerwrite");
  EXPECT_EQ(set.arguments->optionValue, true);
  EXPECT_FALSE(Parse({"options"}).arguments->optionValue);

  // Erase without --yes parses: refusing it is the run's business, with its own message.
  EXPECT_TRUE(Parse({"erase"}).arguments);
  EXPECT_EQ(Parse({"list", "--help"}).arguments->command, CliCommand::Help);
}

TEST(CliArgumentsTest, MistakesAreNamedNotIgnored) {
  const auto error = [](std::vector<std::string_view> arguments) {
    const CliParseResult result = ParseCliArguments(arguments);
    EXPECT_FALSE(result.arguments);
    return result.error;
  };
  EXPECT_EQ(error({}), "no command given");
  EXPECT_EQ(error({"clean"}), "unknown command \"clean\"");
  EXPECT_EQ(error({"scan", "--force"}), "unknown option \"--force\"");
  EXPECT_EQ(error({"scan", "erase"}), "unexpected argument \"erase\"");
  EXPECT_EQ(error({"scan", "--only"}),
            "--only needs a list of cleaner ids, such as --only CuPl_Temp.pld");
  EXPECT_EQ(error({"scan", "--only", "A,,B"}), "--only: an empty cleaner id in \"A,,B\"");
  EXPECT_EQ(error({"scan", "--only=A,"}), "--only: an empty cleaner id in \"A,\"");
  EXPECT_EQ(error({"scan", "--machine"}), "--machine needs the folder of a Wine prefix");
  EXPECT_EQ(error({"erase", "--details"}), "--details goes with scan");
  EXPECT_EQ(error({"scan", "--yes"}), "--yes goes with erase");
  EXPECT_EQ(error({"list", "--only", "A"}), "--only goes with scan and erase");
  EXPECT_EQ(error({"options", "set", "Owerwrite"}), "options takes nothing, or: set NAME on|off");
  EXPECT_EQ(error({"options", "get", "Owerwrite", "on"}),
            "options takes nothing, or: set NAME on|off");
  EXPECT_EQ(error({"options", "set", "Owerwrite", "yes"}),
            "options set: the state is on or off, not \"yes\"");
  EXPECT_EQ(error({"options", "--only", "A"}), "--only goes with scan and erase");
  // An option name that merely begins like a known one is not that option.
  EXPECT_EQ(error({"scan", "--onlyA"}),
            "--only needs a list of cleaner ids, such as --only CuPl_Temp.pld");
}

}  // namespace
}  // namespace corvane
