#include "demo/demo_mozilla_traces.h"

#include <gtest/gtest.h>

#include <map>

#include "cleaners/mozilla/netscape_cache.h"
#include "cleaners/mozilla/netscape_cookies.h"
#include "cleaners/mozilla/netscape_forms.h"
#include "cleaners/mozilla/netscape_history.h"
#include "demo/demo_machine.h"
#include "platform/machine.h"
#include "platform/registry_store.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

using Counts = std::map<std::string, std::uint32_t>;

Counts CountsOf(const BrowserScanResult& result) {
  Counts counts;
  for (const auto& [key, record] : result.domains) counts[key] = record.itemCount;
  return counts;
}

// Every file of drive C: with its content.
std::map<fs::path, std::string> Files(const fs::path& driveC) {
  std::map<fs::path, std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(driveC)) {
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), driveC)] = ReadHostFile(entry.path());
  }
  return files;
}

// The demo machine, current while the test runs, as the program would open it.
class DemoMozillaTracesTest : public ::testing::Test {
 protected:
  DemoMozillaTracesTest() {
    std::string error;
    if (!BuildDemoMachine(dir_.Path() / "demo", program_.Path(), error))
      throw std::runtime_error(error);
    machine_ = Machine::Open(dir_.Path() / "demo", &error);
    registry_ = std::make_unique<RegistryStore>(dir_.Path() / "demo");
    previousMachine_ = Machine::Current();
    previousRegistry_ = RegistryStore::Current();
    Machine::SetCurrent(machine_.get());
    RegistryStore::SetCurrent(registry_.get());
  }
  ~DemoMozillaTracesTest() override {
    RegistryStore::SetCurrent(previousRegistry_);
    Machine::SetCurrent(previousMachine_);
  }

  TempDir dir_{"corvane-demo-mozilla"};
  TempDir program_{"corvane-demo-program"};
  std::unique_ptr<Machine> machine_;
  std::unique_ptr<RegistryStore> registry_;
  Machine* previousMachine_ = nullptr;
  RegistryStore* previousRegistry_ = nullptr;
  test::TestOwner owner_;
  ProgressReporter progress_{owner_, "BrowserCookies", "", nullptr};
};

TEST_F(DemoMozillaTracesTest, EveryOperationFindsAndErasesExactlyItsTraces) {
  BrowserScanResult cookies;
  ASSERT_TRUE(GetNetscapeCookies(cookies, progress_));
  EXPECT_EQ(CountsOf(cookies), (Counts{{"example.com", 3},
                                       {"news.test", 2},
                                       {"shop.test", 1},
                                       {"video.test", 1},
                                       {"bank.test", 1},
                                       {"portal.test", 1}}));
  BrowserScanResult history;
  ASSERT_EQ(GetNetscapeHistory(history, progress_), 1);
  EXPECT_EQ(CountsOf(history), (Counts{{"www.example.com", 3},
                                       {"mail.example.com", 1},
                                       {"www.news.test", 2},
                                       {"ftp.files.test", 1},
                                       {"news.test", 1},
                                       {"www.video.test", 1},
                                       {"bank.test", 1},
                                       {"www.portal.test", 1}}));
  std::uint64_t cacheBytes = 0;
  std::uint32_t cacheFiles = 0;
  ASSERT_TRUE(GetNetscapeCache(cacheBytes, cacheFiles, progress_));
  EXPECT_EQ(cacheFiles, 12u);
  EXPECT_EQ(cacheBytes, 29u * 1024);
  BrowserScanResult forms;
  ASSERT_EQ(GetNetscapeFormStorageData(forms, progress_), 1);
  EXPECT_EQ(
      CountsOf(forms),
      (Counts{
          {"mail.example.com:443", 1}, {"shop.test", 2}, {"bank.test", 1}, {"portal.test", 1}}));

  const fs::path driveC = dir_.Path() / "demo" / "drive_c";
  const std::map<fs::path, std::string> before = Files(driveC);
  cookies.domains.at("example.com").status = DomainStatus::Selected;
  ASSERT_EQ(UpdateNetscapeCookies(cookies, Overwrite::On, progress_, nullptr), 1);
  std::uint64_t historyBytes = 0;
  ASSERT_EQ(DeleteNetscapeHistory(historyBytes), 1);
  ASSERT_TRUE(DeleteNetscapeCache(Overwrite::On, progress_, nullptr));
  ASSERT_EQ(DeleteNetscapeFormStorageData(Overwrite::On), 1);

  // What went is what was found; every other file is as it was.
  std::map<fs::path, std::string> after = Files(driveC);
  std::size_t gone = 0;
  std::size_t changed = 0;
  for (const auto& [path, content] : before) {
    const auto now = after.find(path);
    if (now == after.end()) {
      ++gone;
      const std::string name = path.filename().string();
      EXPECT_TRUE(name == "history.dat" || name.ends_with(".s") || name.ends_with(".w") ||
                  path.parent_path().filename() == "Cache" ||
                  path.parent_path().filename() == "Cache.Trash")
          << path;
    } else if (now->second != content) {
      ++changed;
      EXPECT_EQ(path.filename(), "cookies.txt");
      EXPECT_EQ(now->second.find("example.com"), std::string::npos);
    }
    after.erase(path);
  }
  EXPECT_TRUE(after.empty()) << "nothing new is left behind";
  EXPECT_EQ(gone, 3u + 12u + 3u);
  EXPECT_EQ(changed, 2u);
  EXPECT_GT(historyBytes, 0u);

  BrowserScanResult rescan;
  ASSERT_TRUE(GetNetscapeCookies(rescan, progress_));
  EXPECT_EQ(CountsOf(rescan), (Counts{{"news.test", 2},
                                      {"shop.test", 1},
                                      {"video.test", 1},
                                      {"bank.test", 1},
                                      {"portal.test", 1}}));
}

}  // namespace
}  // namespace corvane
