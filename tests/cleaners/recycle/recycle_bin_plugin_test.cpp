#include "cleaners/recycle/recycle_bin_plugin.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/registry_key.h"
#include "platform/dom/document.h"
#include "platform/program_folder.h"
#include "platform/registry_store.h"
#include "settings/options_store.h"
#include "tests/support/cleaner_fixture.h"
#include "tests/support/live_wine.h"
#include "tests/support/temp_machine.h"
#include "tests/support/wine_prefix.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class RecycleBinPluginTest : public test::CleanerTest<RecycleBinPlugin> {
 protected:
  std::string Page(bool details) {
    auto page = dom::Document::Parse("<div id=d></div>");
    const int answer = details ? plugin_->ShowDetails(page->GetElementById("d"))
                               : plugin_->ShowReport(page->GetElementById("d"));
    EXPECT_EQ(answer, 0);
    return page->GetElementById("d").InnerText();
  }
  // A Trash item: its entry (written by `make`) and its info file naming `path`.
  void TrashItem(const fs::path& trash, const std::string& name, const std::string& path) {
    WriteHostFile(trash / "info" / (name + ".trashinfo"),
                  "[Trash Info]\nPath=" + path + "\nDeletionDate=2024-01-01T00:00:00\n");
  }
  static void SetOverwrite(bool on) {
    RegistryString option(HKEY_LOCAL_MACHINE, kOptionsKeyPath, kOptionOverwrite, "");
    option.value = on ? "1" : "";
  }
};

TEST_F(RecycleBinPluginTest, BinsAndTheTrashItemsFromThePrefixAreFoundAndErased) {
  TempMachine machine;
  TempDir home("corvane-home");
  const fs::path trash = home.Path() / "Trash";
  const std::string prefix = machine.Prefix().string();
  // Trash items from drive C (named as Wine names them, and plainly), a link, a folder, a big
  // sparse file; and the user's own: a canary from outside, an item through drive Z:, one whose
  // info is unreadable.
  WriteHostFile(trash / "files" / "doc.txt", "document");
  TrashItem(trash, "doc.txt", prefix + "/dosdevices/c:/docs/doc%20one.txt");
  WriteHostFile(trash / "files" / "plain.txt", "plain");
  TrashItem(trash, "plain.txt", prefix + "/drive_c/plain.txt");
  WriteHostFile(trash / "files" / "folder" / "in.txt", "inside");
  TrashItem(trash, "folder", prefix + "/drive_c/folder");
  WriteHostFile(home.Path() / "canary.txt", "canary");
  fs::create_symlink(home.Path() / "canary.txt", trash / "files" / "link");
  TrashItem(trash, "link", prefix + "/drive_c/link");
  WriteHostFile(trash / "files" / "big.iso", "");
  fs::resize_file(trash / "files" / "big.iso", 5ULL << 30);
  TrashItem(trash, "big.iso", prefix + "/drive_c/big.iso");
  WriteHostFile(trash / "files" / "canary.txt", "the user's own");
  TrashItem(trash, "canary.txt", home.Path().string() + "/canary.txt");
  WriteHostFile(trash / "files" / "viaz.txt", "through Z:");
  TrashItem(trash, "viaz.txt", machine.HostRoot().string() + "/viaz.txt");
  WriteHostFile(trash / "files" / "climb.txt", "climbs out");
  TrashItem(trash, "climb.txt", prefix + "/drive_c/../../climb.txt");
  // Windows' own bins on drive C.
  machine.WriteFile("C:\\RECYCLER\\S-1-5-21-1\\INFO2", std::string(20, '\0'));
  machine.WriteFile("C:\\RECYCLER\\S-1-5-21-1\\desktop.ini", "[.ShellClassInfo]");
  machine.WriteFile("C:\\RECYCLER\\S-1-5-21-1\\Dc1.txt", "12345");
  machine.WriteFile("C:\\RECYCLER\\S-1-5-21-1\\Dc2\\a", "aa");
  machine.WriteFile("C:\\RECYCLER\\S-1-5-21-1\\Dc2\\b\\c", "ccc");
  machine.WriteFile("C:\\Recycled\\INFO2", std::string(20, '\0'));
  machine.WriteFile("C:\\$Recycle.Bin\\S-1-5-21-1\\$IAB12.txt", "info");
  machine.WriteFile("C:\\$Recycle.Bin\\S-1-5-21-1\\$RAB12.txt", "data!");

  // Overwriting is left off here: it would write the 5 GiB in full.
  SetOverwrite(false);
  plugin_ = MakePlugin<RecycleBinPlugin>(owner_, trash);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  ASSERT_EQ(Plugin().Volumes().size(), 1u);  // drive C only: never Z:
  const auto& volume = Plugin().Volumes().at("C:\\");
  // Dc1.txt, Dc2, $RAB12.txt; doc, plain, folder, link, big.
  EXPECT_EQ(volume.items, 8u);
  EXPECT_EQ(volume.size, 5u + 5u + 5u + 8u + 5u + 6u + 0u + (5ULL << 30));
  EXPECT_EQ(Plugin().TotalItems(), 8u);
  EXPECT_EQ(Plugin().Items().size(), 5u);
  EXPECT_EQ(plugin_->TracksLeft().at("size"), volume.size);
  const std::string details = Page(true);
  EXPECT_NE(details.find("doc one.txt"), std::string::npos);
  EXPECT_NE(details.find("5.00 GB"), std::string::npos);  // the whole size, not its low half
  EXPECT_EQ(details.find("canary"), std::string::npos);

  ASSERT_EQ(Run(false), PluginResult::Finished);
  EXPECT_EQ(Plugin().Volumes().at("C:\\").status, RecycleBinPlugin::VolumeStatus::Erased);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(trash / "files")) {
    left.push_back(entry.path().filename());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"canary.txt", "climb.txt", "viaz.txt"}));
  for (const std::string& name : left) {
    EXPECT_TRUE(fs::exists(trash / "info" / (name + ".trashinfo"))) << name;
  }
  EXPECT_EQ(ReadHostFile(home.Path() / "canary.txt"), "canary");
  EXPECT_EQ(ReadHostFile(trash / "files" / "canary.txt"), "the user's own");
  EXPECT_TRUE(fs::is_empty(machine.Host("C:\\RECYCLER")));
  EXPECT_TRUE(fs::is_empty(machine.Host("C:\\Recycled")));
  EXPECT_TRUE(fs::is_empty(machine.Host("C:\\$Recycle.Bin")));
  EXPECT_EQ(plugin_->TracksLeft().at("items"), 0u);
  EXPECT_GE(plugin_->CopyCounters().current.bytes, 5ULL << 30);
  EXPECT_NE(Page(false).find("Erased"), std::string::npos);

  ASSERT_EQ(Run(true), PluginResult::Finished);
  EXPECT_EQ(Plugin().TotalItems(), 0u);
  EXPECT_NE(Page(true).find("Items in the recycle bins: 0"), std::string::npos);
}

// A Trash item that cannot be removed (nested deeper than any deletion makes) is a failure, and
// stays whole; it is never left for a restart, which could not reach the Trash anyway.
// An empty bin is emptied without fault, but the report must not say that something was erased.
TEST_F(RecycleBinPluginTest, AnEmptyBinIsReportedAsHavingNothingToErase) {
  TempMachine machine;
  TempDir home("corvane-home");
  plugin_ = MakePlugin<RecycleBinPlugin>(owner_, home.Path() / "Trash");
  ASSERT_EQ(Run(true), PluginResult::Finished);
  ASSERT_EQ(Run(false), PluginResult::Finished);
  const std::string report = Page(false);
  EXPECT_NE(report.find("Nothing to erase"), std::string::npos) << report;
  EXPECT_EQ(report.find("Erased"), std::string::npos) << report;
}

TEST_F(RecycleBinPluginTest, ATrashItemThatStaysIsAFailure) {
  TempMachine machine;
  TempDir home("corvane-home");
  const fs::path trash = home.Path() / "Trash";
  fs::path deep = trash / "files" / "deep";
  for (int i = 0; i < 300; ++i) deep /= "d";
  fs::create_directories(deep);
  WriteHostFile(deep / "x", "x");
  TrashItem(trash, "deep", machine.Prefix().string() + "/drive_c/deep");
  SetOverwrite(true);
  plugin_ = MakePlugin<RecycleBinPlugin>(owner_, trash);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  ASSERT_EQ(Run(false), PluginResult::Failed);
  EXPECT_TRUE(fs::exists(trash / "info" / "deep.trashinfo"));
  EXPECT_FALSE(plugin_->IsRebootNeeded());
  EXPECT_EQ(plugin_->FailedCounts().items, 1u);
  // A drive whose erase failed is not reported as erased.
  EXPECT_EQ(Plugin().Volumes().at("C:\\").status, RecycleBinPlugin::VolumeStatus::Found);
  EXPECT_EQ(Page(false).find("Erased"), std::string::npos);
}

// Wine's shell sends a file deleted to the Recycle Bin to the Trash; the cleaner finds it there
// and removes it, and a Trash item from outside the prefix survives.
TEST_F(RecycleBinPluginTest, WhatWineDeletedToTheRecycleBinIsFoundAndErased) {
  if (!test::HasPrograms({"x86_64-w64-mingw32-gcc"})) {
    CORVANE_SKIP_LIVE_WINE("mingw-w64 is not installed");
  }
  test::WinePrefix wine;
  if (!wine.Ready()) CORVANE_SKIP_LIVE_WINE(wine.Why());
  const fs::path exe = wine.Home() / "shell_traces.exe";
  ASSERT_EQ(wine.Run({"x86_64-w64-mingw32-gcc", "-municode", "-o", exe.string(),
                      (fs::path(CORVANE_FIXTURES_DIR) / "shell" / "shell_traces.c").string(),
                      "-lshell32"}),
            0);
  WriteHostFile(wine.Prefix() / "drive_c" / "work" / "old report.txt", "old report");
  ASSERT_EQ(wine.Run({"wine", exe.string(), "recycle", "C:\\work\\old report.txt"}), 0);
  ASSERT_FALSE(fs::exists(wine.Prefix() / "drive_c" / "work" / "old report.txt"));
  WriteHostFile(wine.Trash() / "files" / "canary.txt", "outside");
  TrashItem(wine.Trash(), "canary.txt", wine.Home().string() + "/canary.txt");

  std::unique_ptr<Machine> machine = Machine::Open(wine.Prefix(), nullptr);
  ASSERT_TRUE(machine);
  Machine::SetCurrent(machine.get());
  RegistryStore registry(wine.Prefix());
  RegistryStore::SetCurrent(&registry);
  SetOverwrite(true);
  plugin_ = MakePlugin<RecycleBinPlugin>(owner_, wine.Trash());
  EXPECT_EQ(Run(true), PluginResult::Finished);
  ASSERT_EQ(Plugin().Items().size(), 1u);
  EXPECT_EQ(Plugin().Items()[0].name, "old report.txt");
  EXPECT_EQ(Plugin().Items()[0].size, 10u);
  EXPECT_EQ(Plugin().Volumes().count("Z:\\"), 0u);
  EXPECT_EQ(Run(false), PluginResult::Finished);
  EXPECT_FALSE(fs::exists(wine.Trash() / "files" / "old report.txt"));
  EXPECT_FALSE(fs::exists(wine.Trash() / "info" / "old report.txt.trashinfo"));
  EXPECT_EQ(ReadHostFile(wine.Trash() / "files" / "canary.txt"), "outside");
  plugin_.reset();
  RegistryStore::SetCurrent(nullptr);
  Machine::SetCurrent(nullptr);
}

}  // namespace
}  // namespace corvane
