#include "cleaners/messaging/message_history_plugin.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/dom/document.h"
#include "platform/program_folder.h"
#include "tests/support/cleaner_fixture.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using Messenger = MessageHistoryPlugin::Messenger;

// The shell folders as Wine 8 keeps them.
constexpr std::string_view kShellFolders =
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User Shell Folders] 0\n"
    "\"AppData\"=str(2):\"%USERPROFILE%\\\\AppData\\\\Roaming\"\n"
    "\"Personal\"=str(2):\"%USERPROFILE%\\\\Documents\"\n";
// Two passports logging to one folder, one logging through drive Z: (the Linux root), one whose
// path is no text, and ICQ Pro installed on drive C.
constexpr std::string_view kMessengers =
    "\n[Software\\\\Microsoft\\\\MSNMessenger\\\\PerPassportSettings\\\\111] 0\n"
    "\"MessageLogPath\"=\"C:\\\\users\\\\ann\\\\My Chats\"\n"
    "\n[Software\\\\Microsoft\\\\MSNMessenger\\\\PerPassportSettings\\\\222] 0\n"
    "\"MessageLogPath\"=\"C:\\\\users\\\\ann\\\\My Chats\"\n"
    "\n[Software\\\\Microsoft\\\\MSNMessenger\\\\PerPassportSettings\\\\333] 0\n"
    "\"MessageLogPath\"=\"Z:\\\\home\\\\ann\"\n"
    "\n[Software\\\\Microsoft\\\\MSNMessenger\\\\PerPassportSettings\\\\444] 0\n"
    "\"MessageLogPath\"=dword:00000001\n";
constexpr std::string_view kSystemHive =
    "\n[Software\\\\Mirabilis\\\\ICQ\\\\ICQPro\\\\DefaultPrefs] 0\n"
    "\"ICQPath\"=\"C:\\\\Program Files\\\\ICQ\"\n";

class MessageHistoryPluginTest : public test::CleanerTest<MessageHistoryPlugin> {
 protected:
  std::vector<std::string> Paths(Messenger messenger, bool scanned = true) {
    std::vector<std::string> paths;
    for (const auto& file : scanned ? Plugin().Scanned(messenger) : Plugin().Erased(messenger)) {
      paths.push_back(file.path);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
  }
  std::unique_ptr<dom::Document> Page(bool details) {
    auto page = dom::Document::Parse("<div id=d>untouched</div>");
    const int answer = details ? plugin_->ShowDetails(page->GetElementById("d"))
                               : plugin_->ShowReport(page->GetElementById("d"));
    EXPECT_EQ(answer, 0);
    return page;
  }
};

TEST_F(MessageHistoryPluginTest, EachMessengersHistoryIsFoundShownOpenedAndErased) {
  TempMachineOptions options;
  options.userHive = std::string(kShellFolders) + std::string(kMessengers);
  options.systemHive = std::string(kSystemHive);
  TempMachine machine(options);
  const std::string lite = "C:\\users\\ann\\AppData\\Roaming\\ICQLite\\HistoryDB";
  machine.WriteFile(lite + "\\top.db", "not history");
  machine.WriteFile(lite + "\\12345\\index.db", "not history either");
  machine.WriteFile(lite + "\\12345\\Messages\\a.dat", "aaaa");
  machine.WriteFile(lite + "\\12345\\Files\\b.dat", "bb");
  const std::string pro = "C:\\Program Files\\ICQ\\2003b";
  machine.WriteFile(pro + "\\777\\Messages.dat", "mmm");
  machine.WriteFile(pro + "\\777\\messages.idx", "i");
  machine.WriteFile(pro + "\\777\\contacts.dat", "keep");
  machine.WriteFile("C:\\users\\ann\\My Chats\\Bob.xml", "<log/>");
  machine.WriteFile("C:\\users\\ann\\My Chats\\style.xsl", "<xsl/>");
  machine.WriteFile("C:\\users\\ann\\My Chats\\notes.txt", "keep");
  machine.WriteFile("C:\\users\\ann\\Documents\\My Received Files\\bob\\History\\x.xml", "x");
  const fs::path outside = machine.HostRoot() / "home" / "ann" / "Mine.xml";
  WriteHostFile(outside, "the user's own");
  // A history of 5 GiB (sparse): sizes are 64-bit.
  const fs::path big = machine.WriteFile(lite + "\\12345\\Messages\\big.dat", "");
  fs::resize_file(big, 5ULL << 30);

  plugin_ = MakePlugin<MessageHistoryPlugin>(owner_);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  EXPECT_EQ(
      Paths(Messenger::IcqLite),
      (std::vector<std::string>{lite + "\\12345\\Files\\b.dat", lite + "\\12345\\Messages\\a.dat",
                                lite + "\\12345\\Messages\\big.dat"}));
  EXPECT_EQ(Paths(Messenger::IcqPro),
            (std::vector<std::string>{pro + "\\777\\Messages.dat", pro + "\\777\\messages.idx"}));
  EXPECT_EQ(Paths(Messenger::Msn),
            (std::vector<std::string>{
                "C:\\users\\ann\\Documents\\My Received Files\\bob\\History\\x.xml",
                "C:\\users\\ann\\My Chats\\Bob.xml", "C:\\users\\ann\\My Chats\\style.xsl"}));
  EXPECT_EQ(plugin_->TracksLeft().at("items"), 8u);

  // Rows: ICQ Lite and MSN rows open their file, numbered from 1; ICQ Pro rows do not.
  const auto details = Page(true);
  EXPECT_EQ(details->ElementsWithAttribute("cid", "icqlite5-1").size(), 1u);
  EXPECT_EQ(details->ElementsWithAttribute("cid", "msn70-3").size(), 1u);
  EXPECT_EQ(details->ElementsWithAttribute("cid", "icqpro2003b-2").size(), 1u);
  EXPECT_EQ(details->ElementsWithAttribute("class", "path path-parts domen").size(), 6u);
  EXPECT_NE(details->Body().InnerText().find("History files found: 8"), std::string::npos);
  EXPECT_EQ(plugin_->ItemToOpen("icqlite5-", 1), Plugin().Scanned(Messenger::IcqLite)[0].path);
  EXPECT_EQ(plugin_->ItemToOpen("msn70-", 3), Plugin().Scanned(Messenger::Msn)[2].path);
  EXPECT_FALSE(plugin_->ItemToOpen("msn70-", 0));
  EXPECT_FALSE(plugin_->ItemToOpen("msn70-", 4));
  EXPECT_FALSE(plugin_->ItemToOpen("icqpro2003b-", 1));
  EXPECT_FALSE(plugin_->ItemToOpen("RecDocId-", 0));

  ASSERT_EQ(Run(false), PluginResult::Finished);
  EXPECT_FALSE(fs::exists(big));
  EXPECT_FALSE(fs::exists(machine.Host(pro + "\\777\\Messages.dat")));
  EXPECT_TRUE(fs::exists(machine.Host(pro + "\\777\\contacts.dat")));
  EXPECT_TRUE(fs::exists(machine.Host(lite + "\\12345\\index.db")));
  EXPECT_TRUE(fs::exists(machine.Host("C:\\users\\ann\\My Chats\\notes.txt")));
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_EQ(plugin_->CopyCounters().current.items, 8u);
  EXPECT_EQ(plugin_->CopyCounters().current.bytes, (5ULL << 30) + 4 + 2 + 3 + 1 + 6 + 6 + 1);
  EXPECT_EQ(plugin_->TracksLeft().at("items"), 0u);
  const auto report = Page(false);
  EXPECT_EQ(report->ElementsWithAttribute("class", "badge erased").size(), 8u);
  EXPECT_EQ(report->ElementsWithAttribute("class", "path path-parts domen").size(), 0u);
}

TEST_F(MessageHistoryPluginTest, AMachineWithoutMessengersShowsEmptyBlocks) {
  TempMachineOptions options;
  options.userHive = std::string(kShellFolders);
  TempMachine machine(options);
  plugin_ = MakePlugin<MessageHistoryPlugin>(owner_);
  EXPECT_EQ(plugin_->ShowDetails(dom::Document::Parse("<p id=d></p>")->GetElementById("d")), 1);
  ASSERT_EQ(Run(true), PluginResult::Finished);
  const auto details = Page(true);
  EXPECT_EQ(details->ElementsWithAttribute("cid", "noref").size(), 3u);
  EXPECT_NE(details->Body().InnerText().find("No history found"), std::string::npos);
  EXPECT_NE(details->Body().InnerText().find("ICQ Pro 2003b (1)"), std::string::npos);
  // A messenger without a history is never marked as found, nor its report row as erased.
  EXPECT_TRUE(details->ElementsWithAttribute("class", "badge found").empty());
  EXPECT_EQ(details->ElementsWithAttribute("class", "badge none").size(), 3u);
  ASSERT_EQ(Run(false), PluginResult::Finished);
  EXPECT_EQ(plugin_->CopyCounters().current.items, 0u);
  const auto report = Page(false);
  EXPECT_TRUE(report->ElementsWithAttribute("class", "badge erased").empty());
  EXPECT_EQ(report->ElementsWithAttribute("class", "badge none").size(), 3u);
}

// A cancelled scan still ends, and says it was cancelled.
TEST_F(MessageHistoryPluginTest, ACancelledScanAnswersCancelled) {
  TempMachineOptions options;
  options.userHive = std::string(kShellFolders) + std::string(kMessengers);
  TempMachine machine(options);
  machine.WriteFile("C:\\users\\ann\\AppData\\Roaming\\ICQLite\\HistoryDB\\1\\2\\a", "a");
  plugin_ = MakePlugin<MessageHistoryPlugin>(owner_);
  cancel_.Set();
  EXPECT_EQ(Run(true), PluginResult::Cancelled);
  EXPECT_EQ(plugin_->GetScanState(), ScanState::NotScanned);
}

}  // namespace
}  // namespace corvane
