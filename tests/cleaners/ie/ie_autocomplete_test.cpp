#include "cleaners/ie/ie_autocomplete.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/temp_machine.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

// AutoComplete sub-keys below "<store>\<user>\Data\<guid>\<guid>" in hive text.
std::string AutoCompleteHive(const std::string& user) {
  const std::string base = "\n[Software\\\\Microsoft\\\\Protected Storage System Provider\\\\" +
                           user +
                           "\\\\Data\\\\e161255a-37c3-11d2-bcaa-00c04fd929db\\\\e161255a-37c3-"
                           "11d2-bcaa-00c04fd929db\\\\";
  std::string text;
  for (const char* name : {"email:StringData", "email:StringIndex", "q:StringData",
                           "http://www.example.com/login.html:StringData",
                           "http://www.example.com/a:b:StringData", "other"}) {
    // Windows stores each item as a key whose name ends with "a" (…Data) or "x" (…Index).
    text += base + name + "] 1700000000\n";
  }
  return text;
}

bool DataKeyExists(HKEY root, const std::string& user) {
  HKEY key = 0;
  const std::string path =
      std::string(kProtectedStorageKey) + user + "\\Data\\" + kAutoCompleteGuid;
  if (RegOpenKeyW(root, path, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

TEST(IeAutoCompleteTest, FieldsAndSitesAreCountedAndTheDataIsDeletedOnNt) {
  TempMachineOptions options;
  options.userHive = AutoCompleteHive("S-1-5-21-0-0-0-1000");
  TempMachine machine(options);
  test::TestOwner owner;
  Event cancel;
  ProgressReporter progress(owner, "BrowserForms", "page", &cancel);

  BrowserScanResult result;
  ScanAutoComplete(result, &progress);
  EXPECT_EQ(result.domains.size(), 3u);
  EXPECT_EQ(result.domains.at("email").itemCount, 1u);
  EXPECT_EQ(result.domains.at("q").itemCount, 1u);
  EXPECT_EQ(result.domains.at("example.com").itemCount, 2u);
  EXPECT_EQ(result.items, 4u);

  cancel.Set();
  EXPECT_FALSE(EraseAutoComplete(&progress));
  EXPECT_TRUE(DataKeyExists(HKEY_CURRENT_USER, "S-1-5-21-0-0-0-1000"));
  cancel.Reset();
  EXPECT_TRUE(EraseAutoComplete(&progress));
  EXPECT_FALSE(DataKeyExists(HKEY_CURRENT_USER, "S-1-5-21-0-0-0-1000"));
  // Nothing left to delete: not reachable.
  EXPECT_FALSE(EraseAutoComplete(&progress));
  BrowserScanResult empty;
  ScanAutoComplete(empty, nullptr);
  EXPECT_TRUE(empty.domains.empty());
}

TEST(IeAutoCompleteTest, Windows9xFindsTheDataByUserNameInEitherHive) {
  TempMachineOptions options;
  options.userHive = "\n[Software\\\\Wine] 1700000000\n\"Version\"=\"win98\"\n";
  options.systemHive = AutoCompleteHive("ann");
  TempMachine machine(options);
  BrowserScanResult result;
  ScanAutoComplete(result, nullptr);
  EXPECT_EQ(result.items, 4u);
  EXPECT_TRUE(EraseAutoComplete(nullptr));
  EXPECT_FALSE(DataKeyExists(HKEY_LOCAL_MACHINE, "ann"));
}

}  // namespace
}  // namespace corvane
