
#include "platform/registry_hive_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

#include "platform/last_error.h"
#include "platform/text.h"
#include "tests/support/live_wine.h"
#include "tests/support/temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

fs::path Fixture(const std::string& name) {
  return fs::path(CORVANE_FIXTURES_DIR) / "wine" / name;
}

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The first line where two texts differ, for a readable failure on megabyte files.
std::string FirstDifference(std::string_view a, std::string_view b) {
  const auto la = SplitLines(a);
  const auto lb = SplitLines(b);
  for (std::size_t i = 0; i < std::max(la.size(), lb.size()); ++i) {
    const std::string x = i < la.size() ? la[i] : "<end>";
    const std::string y = i < lb.size() ? lb[i] : "<end>";
    if (x != y) return "line " + std::to_string(i + 1) + ":\n  " + x + "\n  " + y;
  }
  return a == b ? "" : "trailing bytes differ";
}

std::string Utf16Le(std::u16string_view text) {
  std::string bytes;
  for (const char16_t u : text) {
    bytes += static_cast<char>(u & 0xff);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

// A hive file's text with the given key lines after a standard header.
std::string HiveText(std::string_view body) {
  return "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n" +
         std::string(body);
}

// --- Byte-exact round trips --------------------------------------------------------------------

TEST(RegistryHiveFile, WinebootHivesLoadAndSaveByteForByte) {
  TempDir dir;
  for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
    const std::string original = ReadBytes(Fixture(name));
    ASSERT_GT(original.size(), 1000U) << name;
    RegistryHive hive;
    ASSERT_EQ(LoadHiveFile(Fixture(name), hive), HiveLoadResult::Loaded) << hive.parseError;
    EXPECT_FALSE(hive.readOnly);
    const fs::path saved = dir.Path() / name;
    ASSERT_TRUE(SaveHiveFile(saved, hive));
    EXPECT_EQ(FirstDifference(original, ReadBytes(saved)), "") << name;
  }
}

// odd-keys.reg holds escapes, every value form, duplicate keys and time lines; make-hives.sh had
// Wine read it and save it again as odd-keys-by-wine.reg. We must read and write it the same way.
TEST(RegistryHiveFile, OddLinesComeOutAsWineRewritesThem) {
  RegistryHive hive;
  ASSERT_TRUE(ParseHive(ReadBytes(Fixture("odd-keys.reg")), "odd-keys.reg", hive))
      << hive.parseError;
  const std::string byWine = ReadBytes(Fixture("odd-keys-by-wine.reg"));
  EXPECT_EQ(FirstDifference(SerializeHive(hive), byWine), "");

  RegistryHive again;
  ASSERT_TRUE(ParseHive(byWine, "odd-keys-by-wine.reg", again)) << again.parseError;
  EXPECT_EQ(FirstDifference(SerializeHive(again), byWine), "");
}

TEST(RegistryHiveFile, ChangingOneValueRewritesOnlyThatKey) {
  const std::string original = ReadBytes(Fixture("system.reg"));
  RegistryHive hive;
  ASSERT_TRUE(ParseHive(original, "system.reg", hive)) << hive.parseError;
  RegistryNode* key = &hive.root;
  for (const char* name : {"Software", "Microsoft", "Windows NT", "CurrentVersion"}) {
    key = key->FindSubkey(name);
    ASSERT_NE(key, nullptr) << name;
  }
  ASSERT_NE(key->FindValue("RegisteredOwner"), nullptr);
  key->SetValue("RegisteredOwner", REG_SZ, Utf16Le(std::u16string(u"Ann") + u'\0'));
  key->modified = 0x1dd9000000000000ULL;
  const auto before = SplitLines(original);
  const auto after = SplitLines(SerializeHive(hive));
  ASSERT_EQ(before.size(), after.size());
  std::vector<std::string> changed;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i] != after[i]) changed.push_back(after[i]);
  }
  const std::string keyLine = "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] ";
  ASSERT_EQ(changed.size(), 3U);
  EXPECT_EQ(changed[0].substr(0, keyLine.size()), keyLine);
  EXPECT_EQ(changed[1], "#time=1dd9000000000000");
  EXPECT_EQ(changed[2], "\"RegisteredOwner\"=\"Ann\"");
}

// --- Reading ----------------------------------------------------------------------------------

TEST(RegistryHiveFile, ReadsEscapesAndNonAsciiText) {
  RegistryHive hive;
  const std::string text = HiveText(
      "\n[Caf\\xe9\\\\\\xd83d\\xde00\\[x\\]] 1700000000\n"
      "#time=1da1234abcdef01\n"
      "\"\\xe9a\"=\"\\x00e9a\"\n"
      "\"raw \xc3\xa9\xe2\x82\xac\"=\"\xf0\x9f\x98\x80\"\n"
      "\"ctl\"=\"\\a\\b\\t\\n\\v\\f\\r\\e\\0\\0101\\1234\\q\\\"\\\\\\x\\xfffff\"\n");
  ASSERT_TRUE(ParseHive(text, "t.reg", hive)) << hive.parseError;
  EXPECT_EQ(hive.branch, "REGISTRY\\Machine");
  EXPECT_EQ(hive.arch, "win64");
  RegistryNode* cafe = hive.root.FindSubkey("Caf\xc3\xa9");
  ASSERT_NE(cafe, nullptr);
  RegistryNode* key = cafe->FindSubkey("\xf0\x9f\x98\x80[x]");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->modified, 0x1da1234abcdef01ULL);

  // "\xe9a" reads as the single unit U+0E9A: \x takes up to four hex digits.
  const RegistryValue* v = key->FindValue("\xe0\xba\x9a");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->type, REG_SZ);
  EXPECT_EQ(v->data, Utf16Le(std::u16string(u"\u00e9a") + u'\0'));

  v = key->FindValue("raw \xc3\xa9\xe2\x82\xac");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->data, Utf16Le(std::u16string(u"\U0001F600") + u'\0'));

  v = key->FindValue("ctl");
  ASSERT_NE(v, nullptr);
  // Data keeps even a lone surrogate: it stays bytes.
  RegistryHive lone;
  ASSERT_TRUE(ParseHive(HiveText("\n[K] 1\n\"v\"=\"\\xdc00\"\n"), "t.reg", lone));
  EXPECT_EQ(lone.root.FindSubkey("K")->FindValue("v")->data, std::string("\x00\xdc\0\0", 4));
  EXPECT_NE(SerializeHive(lone).find("\"v\"=\"\\xdc00\"\n"), std::string::npos);

  const std::u16string expected =
      std::u16string(u"\a\b\t\n\v\f\r\x1b") + u'\0' + u"\b1S4q\"\\x" + u"\xffff" + u"f" + u'\0';
  EXPECT_EQ(v->data, Utf16Le(expected));
}

TEST(RegistryHiveFile, ReadsEveryValueForm) {
  RegistryHive hive;
  const std::string text = HiveText(
      "\n[K] 1700000000\n#time=1da1234abcdef01\n"
      "@=\"d\"\n"
      "\"sz\"=str:\"s\"\n"
      "\"exp\"=str(2):\"%a%\"\n"
      "\"multi\"=str(7):\"a\\0b\\0\"\n"
      "\"dw\"=dword:0000a0b1\n"
      "\"bin\"=hex:01,ff,\\\n  0A\n"
      "\"none\"=hex(0):\n"
      "\"odd\"=hex(ffff0007):7\n");
  ASSERT_TRUE(ParseHive(text, "t.reg", hive)) << hive.parseError;
  const RegistryNode* key = hive.root.FindSubkey("K");
  ASSERT_NE(key, nullptr);
  struct Expected {
    const char* name;
    std::uint32_t type;
    std::string data;
  };
  const Expected expected[] = {
      {"", REG_SZ, Utf16Le(std::u16string(u"d") + u'\0')},
      {"sz", REG_SZ, Utf16Le(std::u16string(u"s") + u'\0')},
      {"exp", REG_EXPAND_SZ, Utf16Le(std::u16string(u"%a%") + u'\0')},
      {"multi", REG_MULTI_SZ, Utf16Le(std::u16string(u"a\0b\0\0", 5))},
      {"dw", REG_DWORD, std::string("\xb1\xa0\0\0", 4)},
      {"bin", REG_BINARY, std::string("\x01\xff\x0a", 3)},
      {"none", REG_NONE, ""},
      {"odd", 0xffff0007U, std::string("\x07", 1)},
  };
  ASSERT_EQ(key->values.size(), std::size(expected));
  for (const Expected& e : expected) {
    const RegistryValue* v = key->FindValue(e.name);
    ASSERT_NE(v, nullptr) << e.name;
    EXPECT_EQ(v->type, e.type) << e.name;
    EXPECT_EQ(v->data, e.data) << e.name;
  }
  EXPECT_EQ(key->values.front().name, "");  // the default value sorts first
}

// --- Writing ----------------------------------------------------------------------------------

TEST(RegistryHiveFile, WritesOnlyTheKeysWineWrites) {
  RegistryHive hive;
  RegistryNode& onlySubkeys = hive.root.AddSubkey("OnlySubkeys");
  onlySubkeys.AddSubkey("Leaf");
  RegistryNode& link = hive.root.AddSubkey("Link");
  link.isLink = true;
  link.AddSubkey("Below");
  RegistryNode& withClass = hive.root.AddSubkey("WithClass");
  withClass.hasClass = true;
  withClass.className = "c\"\xc3\xa9";
  withClass.AddSubkey("Below");
  RegistryNode& volatileKey = hive.root.AddSubkey("Volatile");
  volatileKey.isVolatile = true;
  volatileKey.SetValue("v", REG_DWORD, std::string(4, '\0'));
  volatileKey.AddSubkey("UnderVolatile");
  // Its only sub-key is never saved: left implicit it would vanish on the next load.
  hive.root.AddSubkey("HoldsVolatile").AddSubkey("Gone").isVolatile = true;
  std::vector<std::string> keyLines;
  for (const std::string& line : SplitLines(SerializeHive(hive))) {
    if (line.starts_with('[')) keyLines.push_back(line.substr(0, line.find(']') + 1));
    if (line.starts_with("#class") || line == "#link") keyLines.push_back(line);
  }
  EXPECT_EQ(keyLines,
            (std::vector<std::string>{"[HoldsVolatile]", "[Link]", "#link", "[Link\\\\Below]",
                                      "[OnlySubkeys\\\\Leaf]", "[WithClass]",
                                      "#class=\"c\\\"\\xe9\"", "[WithClass\\\\Below]"}));
}

// --- Damaged and hostile files ---------------------------------------------------------------

TEST(RegistryHiveFile, DamagedLinesMakeTheHiveReadOnlyButKeepTheRest) {
  struct Case {
    const char* what;
    std::string body;  // key lines after the header (which takes lines 1-4)
    int badLine;
  };
  const std::string good = "\n[Good] 1700000000\n#time=1da1234abcdef01\n\"ok\"=\"yes\"\n";
  const Case cases[] = {
      {"unterminated string", "\n[K]\n\"v\"=\"abc\n", 7},
      {"unterminated value name", "\n[K]\n\"v=\"abc\"\n", 7},
      {"unknown form", "\n[K]\n\"v\"=str(9):\"x\"\n", 7},
      {"unknown form", "\n[K]\n\"v\"=foo:12\n", 7},
      {"bad hex", "\n[K]\n\"v\"=hex:1g\n", 7},
      {"bad hex type", "\n[K]\n\"v\"=hex(123456789):00\n", 7},
      {"dword too long", "\n[K]\n\"v\"=dword:123456789\n", 7},
      {"text after string", "\n[K]\n\"v\"=\"x\" junk\n", 7},
      {"missing =", "\n[K]\n\"v\" \"x\"\n", 7},
      {"backslash at end", "\n[K]\n\"v\"=\"x\\\n", 7},
      {"hex running into the next key", "\n[K]\n\"v\"=hex:01,\\\n[L]\n", 8},
      {"unterminated key", "\n[K\n", 6},
      {"empty key component", "\n[A\\\\\\\\B]\n", 6},
      {"trailing separator", "\n[A\\\\]\n", 6},
      {"garbage after seconds", "\n[K] 12x\n", 6},
      {"bad time", "\n[K]\n#time=xyz\n", 7},
      {"value before any key", "\"v\"=\"x\"\n", 5},
      {"stray line", "\n[K]\nhello\n", 7},
      {"not UTF-8", "\n[K]\n\"v\"=\"\xff\xfe\"\n", 7},
      {"unpaired surrogate in a name", "\n[K]\n\"\\xd83d\"=\"x\"\n", 7},
      {"unpaired surrogate in a key", "\n[K\\xdc00]\n", 6},
      {"class unterminated", "\n[K]\n#class=\"abc\n", 7},
  };
  for (const Case& c : cases) {
    RegistryHive hive;
    const std::string text = HiveText(c.body) + good;
    EXPECT_FALSE(ParseHive(text, "/p/user.reg", hive)) << c.what;
    EXPECT_TRUE(hive.readOnly) << c.what;
    EXPECT_EQ(hive.parseError.substr(0, hive.parseError.find(": ") + 2),
              "/p/user.reg:" + std::to_string(c.badLine) + ": ")
        << c.what << ": " << hive.parseError;
    // What follows the damage is still there to read.
    const RegistryNode* goodKey = hive.root.FindSubkey("Good");
    ASSERT_NE(goodKey, nullptr) << c.what;
    EXPECT_NE(goodKey->FindValue("ok"), nullptr) << c.what;
  }
}

TEST(RegistryHiveFile, RefusesWhatIsNoRegistryFile) {
  for (const std::string& text :
       {std::string(), std::string("REGEDIT4\n"), std::string("WINE REGISTRY Version 1\n[K]\n")}) {
    RegistryHive hive;
    EXPECT_FALSE(ParseHive(text, "x.reg", hive));
    EXPECT_TRUE(hive.readOnly);
    EXPECT_EQ(hive.parseError.substr(0, 8), "x.reg:1:");
    EXPECT_TRUE(hive.root.subkeys.empty());
  }
  RegistryHive cut;
  EXPECT_FALSE(ParseHive(HiveText("\n[K]\n\"v\"=hex:01,\\"), "x.reg", cut));
  EXPECT_EQ(cut.parseError, "x.reg:7: hex data cut off at the end of the file");
  ASSERT_NE(cut.root.FindSubkey("K"), nullptr);
  RegistryHive crlf;
  EXPECT_TRUE(ParseHive("WINE REGISTRY Version 2\r\n\n[K] 1\n", "x.reg", crlf)) << crlf.parseError;
}

TEST(RegistryHiveFile, HostileInputNeverCrashes) {
  {  // keys nested far deeper than Windows allows
    std::string path = "a";
    for (int i = 0; i < 100000; ++i) path += "\\\\a";
    RegistryHive hive;
    EXPECT_FALSE(ParseHive(HiveText("\n[" + path + "]\n"), "deep.reg", hive));
    EXPECT_TRUE(hive.readOnly);
  }
  {  // a huge hex run stays linear and exact
    std::string body = "\n[K]\n\"big\"=hex:";
    for (int i = 0; i < 400000; ++i) body += i % 25 == 24 ? "ab,\\\n  " : "ab,";
    body += "ab\n";
    RegistryHive hive;
    ASSERT_TRUE(ParseHive(HiveText(body), "big.reg", hive)) << hive.parseError;
    EXPECT_EQ(hive.root.FindSubkey("K")->FindValue("big")->data.size(), 400001U);
  }
  // Random damage to a real hive: whatever comes out, the reader must survive it and a hive it
  // accepted must write out again.
  const std::string original = ReadBytes(Fixture("userdef.reg"));
  std::mt19937 random(12345);
  for (int round = 0; round < 300; ++round) {
    std::string text = original;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0:
          text[at] = static_cast<char>(random() % 256);
          break;
        case 1:
          text.erase(at, random() % 16);
          break;
        default:
          text.insert(at, std::string(1 + random() % 4, "\\\"[]\n,x0"[random() % 8]));
      }
      if (text.empty()) text = "x";
    }
    text.resize(random() % (text.size() + 1));
    RegistryHive hive;
    if (ParseHive(text, "fuzz.reg", hive)) {
      EXPECT_FALSE(SerializeHive(hive).empty());
    } else {
      EXPECT_TRUE(hive.readOnly);
      EXPECT_FALSE(hive.parseError.empty());
    }
  }
}

TEST(RegistryHiveFile, ParsingReplacesWhatTheHiveHeld) {
  RegistryHive hive;
  EXPECT_FALSE(ParseHive("junk", "a.reg", hive));
  ASSERT_TRUE(ParseHive(HiveText("\n[K] 1\n"), "b.reg", hive));
  EXPECT_FALSE(hive.readOnly);
  EXPECT_EQ(hive.parseError, "");
  EXPECT_EQ(hive.root.subkeys.size(), 1U);
}

// --- Files on disk ----------------------------------------------------------------------------

TEST(RegistryHiveFile, LoadTellsMissingUnreadableAndDamagedApart) {
  TempDir dir;
  RegistryHive hive;
  EXPECT_EQ(LoadHiveFile(dir.Path() / "none.reg", hive), HiveLoadResult::Missing);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  WriteBytes(dir.Path() / "file", "x");
  EXPECT_EQ(LoadHiveFile(dir.Path() / "file" / "user.reg", hive), HiveLoadResult::Missing);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  fs::create_directory(dir.Path() / "folder.reg");
  EXPECT_EQ(LoadHiveFile(dir.Path() / "folder.reg", hive), HiveLoadResult::Unreadable);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  // A FIFO with no writer would block a plain open for ever.
  ASSERT_EQ(::mkfifo((dir.Path() / "fifo.reg").c_str(), 0600), 0);
  EXPECT_EQ(LoadHiveFile(dir.Path() / "fifo.reg", hive), HiveLoadResult::Unreadable);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  const fs::path damaged = dir.Path() / "user.reg";
  WriteBytes(damaged, HiveText("\n[K] 1\n\"v\"=hex:zz\n"));
  EXPECT_EQ(LoadHiveFile(damaged, hive), HiveLoadResult::Damaged);
  EXPECT_EQ(GetLastError(), ERROR_BADDB);
  EXPECT_TRUE(hive.readOnly);
  EXPECT_EQ(hive.parseError.substr(0, damaged.string().size() + 4), damaged.string() + ":7: ");
  ASSERT_NE(hive.root.FindSubkey("K"), nullptr);

  // A damaged hive is never written back: what it could not read would be lost.
  const std::string before = ReadBytes(damaged);
  EXPECT_FALSE(SaveHiveFile(damaged, hive));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
  EXPECT_EQ(ReadBytes(damaged), before);
}

TEST(RegistryHiveFile, InterruptedSaveLeavesTheOldFileWhole) {
  const AtomicWriteStep steps[] = {AtomicWriteStep::CreateTemp, AtomicWriteStep::Write,
                                   AtomicWriteStep::SyncFile, AtomicWriteStep::Rename};
  RegistryHive hive;
  ASSERT_TRUE(ParseHive(ReadBytes(Fixture("userdef.reg")), "userdef.reg", hive));
  for (const AtomicWriteStep failing : steps) {
    TempDir dir;
    const fs::path target = dir.Path() / "userdef.reg";
    WriteBytes(target, "old contents");
    std::vector<AtomicWriteStep> seen;
    const AtomicWriteFault fault = [&](AtomicWriteStep step) {
      seen.push_back(step);
      return step == failing ? (failing == AtomicWriteStep::Write ? ENOSPC : EIO) : 0;
    };
    EXPECT_FALSE(SaveHiveFile(target, hive, fault));
    EXPECT_EQ(GetLastError(),
              failing == AtomicWriteStep::Write ? ERROR_DISK_FULL : Win32ErrorFromErrno(EIO));
    EXPECT_EQ(seen.back(), failing);
    EXPECT_EQ(ReadBytes(target), "old contents");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"userdef.reg"});
  }
  // Once renamed the new file is in place; a failing folder sync is still reported.
  TempDir dir;
  const fs::path target = dir.Path() / "userdef.reg";
  WriteBytes(target, "old contents");
  EXPECT_FALSE(SaveHiveFile(target, hive, [](AtomicWriteStep step) {
    return step == AtomicWriteStep::SyncFolder ? EIO : 0;
  }));
  EXPECT_EQ(ReadBytes(target), SerializeHive(hive));
  EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"userdef.reg"});
}

TEST(RegistryHiveFile, ASaveKilledBeforeItsRenameIsCleanedUpByTheNextSave) {
  RegistryHive hive;
  ASSERT_TRUE(ParseHive(ReadBytes(Fixture("userdef.reg")), "userdef.reg", hive));
  TempDir dir;
  const fs::path target = dir.Path() / "system.reg";
  WriteBytes(target, "old contents");
  // A process that is alive (init) and a name that is not a temporary of ours stay.
  const std::vector<std::string> kept = {".system.reg.1.0.tmp", ".system.reg.x.0.tmp",
                                         ".user.reg.999999999.0.tmp", "system.reg.7.tmp"};
  for (const std::string& name : kept) WriteBytes(dir.Path() / name, "other");

  // The child dies the way a killed program does, with its temporary file written and synced.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    static_cast<void>(SaveHiveFile(target, hive, [](AtomicWriteStep step) {
      if (step == AtomicWriteStep::Rename) ::raise(SIGKILL);
      return 0;
    }));
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(ReadBytes(target), "old contents");
  std::vector<std::string> left = Entries(dir.Path());
  const std::string prefix = ".system.reg." + std::to_string(child) + ".";
  const auto stale = std::find_if(
      left.begin(), left.end(), [&](const std::string& name) { return name.starts_with(prefix); });
  ASSERT_NE(stale, left.end());
  EXPECT_EQ(ReadBytes(dir.Path() / *stale), SerializeHive(hive));

  ASSERT_TRUE(SaveHiveFile(target, hive));
  EXPECT_EQ(ReadBytes(target), SerializeHive(hive));
  std::vector<std::string> expected = kept;
  expected.push_back("system.reg");
  std::sort(expected.begin(), expected.end());
  left = Entries(dir.Path());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, expected);
}

TEST(RegistryHiveFile, ASavedFileKeepsItsOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  constexpr uid_t kOwner = 54321;
  constexpr gid_t kGroup = 54322;
  TempDir dir;
  const fs::path target = dir.Path() / "user.reg";
  WriteBytes(target, "old contents");
  ASSERT_EQ(::chown(target.c_str(), kOwner, kGroup), 0);
  ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
  ASSERT_EQ(::chown(dir.Path().c_str(), kOwner, kGroup), 0);
  RegistryHive hive;
  hive.root.AddSubkey("K").modified = 0x1da1234abcdef01ULL;
  ASSERT_TRUE(SaveHiveFile(target, hive));
  ASSERT_TRUE(SaveHiveFile(dir.Path() / "userdef.reg", hive));  // a new file: the folder's owner
  for (const char* name : {"user.reg", "userdef.reg"}) {
    struct stat st {};
    ASSERT_EQ(::stat((dir.Path() / name).c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kOwner) << name;
    EXPECT_EQ(st.st_gid, kGroup) << name;
  }
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604U);
  EXPECT_EQ(ReadBytes(target), SerializeHive(hive));
}

TEST(RegistryHiveFile, SaveReplacesTheFileNotWhatALinkPointsAt) {
  TempDir dir;
  const fs::path elsewhere = dir.Path() / "elsewhere";
  WriteBytes(elsewhere, "not a hive");
  const fs::path target = dir.Path() / "user.reg";
  fs::create_symlink(elsewhere, target);
  RegistryHive hive;
  hive.root.AddSubkey("K").modified = 0x1da1234abcdef01ULL;
  ASSERT_TRUE(SaveHiveFile(target, hive));
  EXPECT_FALSE(fs::is_symlink(target));
  EXPECT_EQ(ReadBytes(target), SerializeHive(hive));
  EXPECT_EQ(ReadBytes(elsewhere), "not a hive");

  ::chmod(target.c_str(), 0640);
  ASSERT_TRUE(SaveHiveFile(target, hive));
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640U);  // keeps the permissions of the file it replaces

  EXPECT_FALSE(SaveHiveFile(dir.Path() / "no-such-folder" / "user.reg", hive));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

// --- Against Wine itself ------------------------------------------------------------------------

// Runs a shell command line; its standard output, or nullopt when it failed.
std::optional<std::string> RunCommand(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  return ::pclose(pipe) == 0 ? std::optional(out) : std::nullopt;
}

// A Wine prefix made by wineboot with a throw-away HOME; the wineserver is stopped at the end.
class WinePrefix {
 public:
  WinePrefix()
      : env_("HOME=" + home_.Path().string() + " WINEPREFIX=" + prefix_.Path().string() +
             " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' LC_ALL=C.UTF-8 ") {}
  ~WinePrefix() {
    (void)RunCommand(env_ + "wineserver -k >/dev/null 2>&1; " + env_ + "wineserver -w");
  }
  [[nodiscard]] std::optional<std::string> Wine(const std::string& args) const {
    return RunCommand(env_ + "wine " + args + " 2>/dev/null");
  }
  [[nodiscard]] bool WaitForServer() const {
    return RunCommand(env_ + "wineserver -w").has_value();
  }
  [[nodiscard]] const fs::path& Path() const { return prefix_.Path(); }

 private:
  TempDir home_;
  TempDir prefix_;
  std::string env_;
};

TEST(RegistryHiveFile, WineAndWeReadEachOthersText) {
  if (!test::HasWine()) CORVANE_SKIP_LIVE_WINE("wine is not installed");
  WinePrefix wine;
  ASSERT_TRUE(wine.Wine("wineboot -i >/dev/null"));
  const std::string theirs =
      "Gr\xc3\xbc\xc3\x9f"
      "e \xf0\x9f\x98\x80 \xce\xa9 \\ \"x\"";
  ASSERT_TRUE(wine.Wine("reg add 'HKCU\\Software\\Corvane' /v 'N\xc3\xa4me' /t REG_SZ /d '" +
                        theirs + "' /f >/dev/null"));
  ASSERT_TRUE(wine.WaitForServer());

  RegistryHive hive;
  const fs::path userReg = wine.Path() / "user.reg";
  ASSERT_EQ(LoadHiveFile(userReg, hive), HiveLoadResult::Loaded) << hive.parseError;
  RegistryNode* key = hive.root.FindSubkey("Software");
  ASSERT_NE(key, nullptr);
  key = key->FindSubkey("corvane");
  ASSERT_NE(key, nullptr);
  const RegistryValue* value = key->FindValue("N\xc3\x84ME");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type, REG_SZ);
  EXPECT_EQ(Utf16LeBytesToUtf8(value->data), theirs);

  const std::string ours =
      "\xce\x9a\xce\xb1\xce\xbb\xce\xb7\xce\xbc\xce\xad\xcf\x81\xce\xb1 "
      "\xf0\x9f\x8c\x8d 7\\e";
  key->SetValue("N\xc3\xa4me", REG_SZ, Utf16Le(Utf8ToUtf16(ours) + u'\0'));
  key->modified = FileTimeNow();
  ASSERT_TRUE(SaveHiveFile(userReg, hive));

  // Wine's own reg tool exports as UTF-16 with a byte-order mark.
  const fs::path exported = wine.Path() / "exported.reg";
  ASSERT_TRUE(
      wine.Wine("reg export 'HKCU\\Software\\Corvane' '" + exported.string() + "' /y >/dev/null"));
  const std::string exportedText = Utf16LeBytesToUtf8(ReadBytes(exported).substr(2));
  std::string quoted;
  for (const char c : ours) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  EXPECT_NE(exportedText.find("\"N\xc3\xa4me\"=\"" + quoted + "\""), std::string::npos)
      << exportedText;
}

}  // namespace
}  // namespace corvane
