#include "demo/demo_cleaner_traces.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/text.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

bool Write(const fs::path& path, std::string_view bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

void PutU32(std::string& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A shortcut as the shell writes one for a recent document: the header and the link
// information with the target's local path (8-bit text; the demo's names are plain ASCII).
std::string ShellLinkTo(std::string_view target) {
  std::string link;
  PutU32(link, 0x4C);
  const std::array<unsigned char, 16> clsid = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  link.append(reinterpret_cast<const char*>(clsid.data()), clsid.size());
  PutU32(link, 0x2);  // HasLinkInfo
  link.resize(0x4C, '\0');
  // LinkInfo: header of 0x1C bytes, a 0x11-byte volume ID, the path, an empty suffix.
  const std::uint32_t volumeAt = 0x1C;
  const std::uint32_t pathAt = volumeAt + 0x11;
  const std::uint32_t suffixAt = pathAt + static_cast<std::uint32_t>(target.size()) + 1;
  PutU32(link, suffixAt + 1);
  PutU32(link, 0x1C);
  PutU32(link, 0x1);  // VolumeIDAndLocalBasePath
  PutU32(link, volumeAt);
  PutU32(link, pathAt);
  PutU32(link, 0);
  PutU32(link, suffixAt);
  PutU32(link, 0x11);
  PutU32(link, 3);  // a fixed drive
  PutU32(link, 0);
  PutU32(link, 0x10);
  link += '\0';
  link += target;
  link += '\0';
  link += '\0';
  PutU32(link, 0);  // no extra blocks
  return link;
}

class Values {
 public:
  Values(HKEY root, std::string_view path) { ok_ = RegCreateKeyW(root, path, &key_) == 0; }
  ~Values() {
    if (key_ != 0) RegCloseKey(key_);
  }
  Values(const Values&) = delete;
  Values& operator=(const Values&) = delete;
  Values& Text(std::string_view name, std::string_view text) {
    const std::string bytes = RegistryStringData(text);
    Check(RegSetValueExW(key_, name, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<DWORD>(bytes.size())));
    return *this;
  }
  Values& Number(std::string_view name, std::uint32_t value) {
    const std::array<BYTE, 4> bytes = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                                       static_cast<BYTE>(value >> 16),
                                       static_cast<BYTE>(value >> 24)};
    Check(RegSetValueExW(key_, name, REG_DWORD, bytes.data(), 4));
    return *this;
  }
  [[nodiscard]] bool Ok() const { return ok_; }

 private:
  void Check(LONG result) { ok_ = ok_ && result == 0; }
  HKEY key_ = 0;
  bool ok_ = false;
};

bool PlantRegistry(const std::string& profile) {
  Values winmine(HKEY_CURRENT_USER, "Software\\Microsoft\\WinMine");
  winmine.Text("Name1", "Ann").Number("Time1", 42).Text("Name3", "Ann").Number("Time3", 301);
  Values freeCell(HKEY_CURRENT_USER,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\FreeCell");
  freeCell.Number("won", 12).Number("lost", 3).Number("streak", 2);
  Values spider(HKEY_CURRENT_USER, "Software\\Microsoft\\Spider");
  spider.Number("Wins_Easy", 5).Number("Losses_Medium", 2);
  Values pinball(HKEY_CURRENT_USER, "Software\\Microsoft\\Plus!\\Pinball\\SpaceCadet");
  pinball.Text("0.Name", "Ann").Text("0.Score", "1250000").Text("Verification", "1245004");
  Values passport(HKEY_CURRENT_USER,
                  "Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\1234567");
  passport.Text("MessageLogPath", profile + "\\Documents\\My Received Files\\Chats");
  Values excel(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\11.0\\Excel\\Recent Files");
  excel.Text("File1", profile + "\\Documents\\budget.xls");
  Values access(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\11.0\\Access\\Settings");
  access.Text("MRU1", profile + "\\Documents\\contacts.mdb");
  Values txt(HKEY_LOCAL_MACHINE, "Software\\Classes\\.txt");
  txt.Text("", "txtfile");
  Values txtClass(HKEY_LOCAL_MACHINE, "Software\\Classes\\txtfile");
  txtClass.Text("", "Text Document");
  return winmine.Ok() && freeCell.Ok() && spider.Ok() && pinball.Ok() && passport.Ok() &&
         excel.Ok() && access.Ok() && txt.Ok() && txtClass.Ok();
}

std::string TrashInfo(std::string_view path) {
  std::string encoded;
  for (const char c : path) {
    if (c == ' ') {
      encoded += "%20";
    } else {
      encoded += c;
    }
  }
  return "[Trash Info]\nPath=" + encoded + "\nDeletionDate=2024-05-04T10:20:30\n";
}

}  // namespace

bool PlantCleanerTraces(const Machine& machine, const fs::path& folder) {
  const std::string profile = machine.ProfileFolder();
  const fs::path home = folder / "drive_c" / "users" / machine.UserName();
  bool ok = PlantRegistry(profile);

  // Recent documents: shortcuts to documents that exist, and one whose document is gone.
  const fs::path recent = home / "AppData" / "Roaming" / "Microsoft" / "Windows" / "Recent";
  for (const char* name : {"holiday plan.txt", "budget.xls", "letter.doc", "moved away.txt"}) {
    ok = Write(recent / (std::string(name) + ".lnk"),
               ShellLinkTo(profile + "\\Documents\\" + name)) &&
         ok;
    if (std::string_view(name) != "moved away.txt") {
      ok = Write(home / "Documents" / name, std::string("The demo's ") + name + "\n") && ok;
    }
  }
  ok = Write(home / "AppData" / "Roaming" / "Microsoft" / "Office" / "Recent" / "budget.xls.LNK",
             ShellLinkTo(profile + "\\Documents\\budget.xls")) &&
       ok;

  // Messenger histories: ICQ Lite two levels below its store, MSN logs and received files.
  const fs::path icq = home / "AppData" / "Roaming" / "ICQLite" / "HistoryDB" / "123456789";
  ok = Write(icq / "Messages" / "100200300.dat", std::string(2048, 'm')) && ok;
  ok = Write(icq / "Messages" / "100200301.dat", std::string(512, 'm')) && ok;
  const fs::path msn = home / "Documents" / "My Received Files";
  ok = Write(msn / "Chats" / "bob1234.xml", "<Log><Message>Hi</Message></Log>\n") && ok;
  ok = Write(msn / "bob@example.com" / "History" / "bob.xml", "<Log/>\n") && ok;

  // Windows' own bin, as a disk from Windows carries it.
  const fs::path recycler = folder / "drive_c" / "RECYCLER" / "S-1-5-21-0-0-0-1000";
  ok = Write(recycler / "INFO2", std::string(20, '\0')) && ok;
  ok = Write(recycler / "Dc1.txt", "deleted on Windows\n") && ok;

  // The demo's Trash: what Wine's shell moved there from drive C, and the user's own items from
  // elsewhere, which must stay.
  const fs::path trash = folder / kDemoDataFolder / "Trash";
  const std::string driveC = (folder / "dosdevices" / "c:").string();
  ok = Write(trash / "files" / "old notes.txt", "notes deleted in a Windows program\n") && ok;
  ok = Write(trash / "info" / "old notes.txt.trashinfo",
             TrashInfo(driveC + "/users/" + machine.UserName() + "/Documents/old notes.txt")) &&
       ok;
  ok = Write(trash / "files" / "Old Project" / "draft.doc", std::string(4096, 'd')) && ok;
  ok = Write(trash / "info" / "Old Project.trashinfo",
             TrashInfo((folder / "drive_c" / "Old Project").string())) &&
       ok;
  ok = Write(trash / "files" / "photo.jpg", std::string(8192, 'p')) && ok;
  ok = Write(trash / "info" / "photo.jpg.trashinfo",
             TrashInfo("/home/demo-user/Pictures/photo.jpg")) &&
       ok;
  return ok;
}

}  // namespace corvane
