#include "engine/plugin_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/program_folder.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temp_machine.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class TestPlugin : public Plugin {
 public:
  TestPlugin(PluginOwner& owner, std::string_view id) : Plugin(PluginId(id), "-", owner) {}

 protected:
  PluginResult ScanTracks() override { return PluginResult::Finished; }
  PluginResult EraseTracks() override { return PluginResult::Finished; }
};

std::vector<PluginId> Ids(const PluginList& list) {
  std::vector<PluginId> ids;
  for (Plugin& plugin : list) ids.push_back(plugin.GetId());
  return ids;
}

class PluginListTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramFolder(scratch_.Path().string()); }
  void TearDown() override { SetProgramFolder(""); }

  // Factories for every built-in place that record the order in which they were called.
  PluginFactories AllBuiltins() {
    PluginFactories factories;
    for (std::size_t i = 0; i < kBuiltinPluginCount; ++i) {
      factories.builtins[i] = [this, i](PluginOwner& owner) {
        made_.emplace_back(kBuiltinPlugins[i].id);
        return MakePlugin<TestPlugin>(owner, kBuiltinPlugins[i].id);
      };
    }
    return factories;
  }

  TempMachine machine_;
  test::ScratchFolder scratch_;
  test::TestOwner owner_;
  std::vector<PluginId> made_;
};

TEST_F(PluginListTest, BuiltinsTakeTheirFixedPlacesWhateverTheOrderOfMaking) {
  const PluginList list = BuildPluginList(owner_, AllBuiltins());
  const std::vector<PluginId> listed{"BrowserHistory", "BrowserCookies", "BrowserCache",
                                     "BrowserForms",   "RecentUsed",     "MessageHistory",
                                     "RecycleBin",     "WinGames"};
  EXPECT_EQ(Ids(list), listed);
  // Made from the last place to the first, each put at the front.
  EXPECT_EQ(made_, std::vector<PluginId>(listed.rbegin(), listed.rend()));

  // A cleaner not built into the program leaves its place out; the others keep their order.
  PluginFactories some = AllBuiltins();
  some.builtins[0] = nullptr;
  some.builtins[6] = nullptr;
  EXPECT_EQ(Ids(BuildPluginList(owner_, some)),
            (std::vector<PluginId>{"BrowserCookies", "BrowserCache", "BrowserForms", "RecentUsed",
                                   "MessageHistory", "WinGames"}));
}

TEST_F(PluginListTest, CustomPluginsFollowInListingOrderAndFailuresAreDropped) {
  PluginFactories factories = AllBuiltins();
  std::vector<std::string> asked;
  factories.custom = [&](PluginOwner& owner, std::string_view definition) -> PluginPtr {
    asked.emplace_back(definition);
    if (definition == "CustomPlugins\\bad.pld") return nullptr;
    return MakePlugin<TestPlugin>(owner, "CuPl_" + std::string(definition.substr(14)));
  };
  EXPECT_EQ(BuildPluginList(owner_, factories).Size(), kBuiltinPluginCount);  // no folder
  EXPECT_TRUE(asked.empty());

  for (const char* name : {"one.pld", "bad.pld", "two.pld", "notes.txt", "dir.pld/in.pld"}) {
    scratch_.Write(std::string("CustomPlugins/") + name, "x");
  }
  const PluginList list = BuildPluginList(owner_, factories);
  std::vector<std::string> sorted = asked;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"CustomPlugins\\bad.pld", "CustomPlugins\\one.pld",
                                              "CustomPlugins\\two.pld"}));
  std::vector<PluginId> expected = Ids(BuildPluginList(owner_, AllBuiltins()));
  for (const std::string& definition : asked) {
    if (definition != "CustomPlugins\\bad.pld") expected.push_back("CuPl_" + definition.substr(14));
  }
  EXPECT_EQ(Ids(list), expected);  // after WinGames, in the order the folder listed them
}

TEST_F(PluginListTest, AnIdDifferingOnlyInLetterCaseIsRefusedAsADuplicate) {
  const fs::path previousDirectory = fs::current_path();
  fs::current_path(scratch_.Path());  // the trace log goes here
  for (const char* name : {"Alpha.pld", "alpha.pld", "ALPHA.pld", "beta.pld"}) {
    scratch_.Write(std::string("CustomPlugins/") + name, "x");
  }
  std::vector<std::string> asked;
  PluginFactories factories;
  factories.custom = [&](PluginOwner& owner, std::string_view definition) -> PluginPtr {
    asked.emplace_back(definition.substr(14));
    return MakePlugin<TestPlugin>(owner, "CuPl_" + std::string(definition.substr(14)));
  };
  const PluginList list = BuildPluginList(owner_, factories);
  fs::current_path(previousDirectory);

  ASSERT_EQ(asked.size(), 4u);
  const std::string first = asked[0] == "beta.pld" ? asked[1] : asked[0];
  std::vector<PluginId> expected;
  for (const std::string& name : asked) {
    if (name == first || name == "beta.pld") expected.push_back("CuPl_" + name);
  }
  EXPECT_EQ(Ids(list), expected);  // the first listed keeps the id
  const std::string log = ReadHostFile(scratch_.Path() / "CorvaneEraser.log");
  for (const std::string& name : asked) {
    if (name == first || name == "beta.pld") continue;
    EXPECT_NE(log.find("AppendCustomPlugins: CustomPlugins\\" + name + " duplicates the id CuPl_" +
                       first + ", not loaded"),
              std::string::npos)
        << log;
  }
}

TEST_F(PluginListTest, FindPluginIsCaseSensitiveAndFirstEnabledFollowsListOrder) {
  const PluginList list = BuildPluginList(owner_, AllBuiltins());
  ASSERT_NE(list.FindPlugin("BrowserCache"), nullptr);
  EXPECT_EQ(list.FindPlugin("BrowserCache"), &list.At(2));
  EXPECT_EQ(list.FindPlugin("browsercache"), nullptr);
  EXPECT_EQ(list.FindPlugin(""), nullptr);

  EXPECT_EQ(list.FirstEnabled(), &list.At(0));
  list.At(0).SetEnabled(false);
  list.At(1).SetEnabled(false);
  EXPECT_EQ(list.FirstEnabled(), &list.At(2));
  for (Plugin& plugin : list) plugin.SetEnabled(false);
  EXPECT_EQ(list.FirstEnabled(), nullptr);
  EXPECT_EQ(PluginList().FirstEnabled(), nullptr);
  EXPECT_EQ(PluginList().FindPlugin("WinGames"), nullptr);
}

}  // namespace
}  // namespace corvane
