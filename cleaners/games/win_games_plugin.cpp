#include "cleaners/games/win_games_plugin.h"

#include <array>
#include <cstdio>
#include <limits>
#include <string_view>

#include "app/registry_key.h"
#include "app/registry_patterns.h"
#include "engine/cleaner_texts.h"
#include "platform/registry.h"
#include "ui/html_escape.h"
#include "ui/template_store.h"

namespace corvane {
namespace {

constexpr char kPinballKey[] = "Software\\Microsoft\\Plus!\\Pinball\\SpaceCadet";
constexpr char kFreeCellKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\FreeCell";
constexpr char kMinesKey[] = "Software\\Microsoft\\winmine";
constexpr char kSpiderKey[] = "Software\\Microsoft\\Spider";
constexpr std::array<std::string_view, 3> kSpiderLevels = {"Easy", "Medium", "Difficult"};
constexpr std::array<std::string_view, 6> kFreeCellValues = {"AlreadyPlayed", "losses", "lost",
                                                             "streak",        "wins",   "won"};
constexpr std::int32_t kNoScore = -999;
constexpr std::uint32_t kNoTime = 999;
constexpr char kAnonymous[] = "Anonymous";
// Five empty Pinball scores add up to this check value.
constexpr char kEmptyVerification[] = "-4995";

std::string Numbered(const char* format, int n) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), format, n);
  return buffer.data();
}

std::string ReadString(const char* keyPath, std::string_view name, std::string_view fallback) {
  RegistryString value(HKEY_CURRENT_USER, keyPath, name, fallback);
  value.SetReadOnly(true);
  return value.value;
}

// A DWORD setting; a value of another type or size is no score of the game and reads as the
// default rather than as the first bytes of whatever it holds.
std::uint32_t ReadDword(const char* keyPath, std::string_view name, std::uint32_t fallback) {
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS) return fallback;
  std::array<BYTE, 4> bytes{};
  DWORD type = REG_NONE;
  DWORD size = bytes.size();
  const LONG result = RegQueryValueExW(key, name, &type, bytes.data(), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_DWORD || size != bytes.size()) return fallback;
  return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) |
         (static_cast<std::uint32_t>(bytes[3]) << 24);
}

// The text's leading number as the C library's atoi reads it (spaces, a sign, digits; anything
// else ends it; no digits give 0), held within 32 bits instead of overflowing.
std::int32_t ScoreOf(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > std::numeric_limits<std::int32_t>::max()) break;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

void WriteString(const char* keyPath, std::string_view name, std::string_view text) {
  RegistryString value(HKEY_CURRENT_USER, keyPath, name, text);
  value.SetReadOnly(true);
  value.value = std::string(text);
  value.type = REG_SZ;
  value.Write();
}

void WriteDword(const char* keyPath, std::string_view name, std::uint32_t number) {
  RegistryDword value(HKEY_CURRENT_USER, keyPath, name, number);
  value.SetReadOnly(true);
  value.value = number;
  value.Write();
}

// Opens a game's key for a reset. A game that never kept a key has nothing to reset: that is
// done, not failed (which would leave the games after it untouched).
enum class KeyOpen { Open, Missing, Failed };
KeyOpen OpenGameKey(const char* keyPath, HKEY* key) {
  const LONG result = RegOpenKeyW(HKEY_CURRENT_USER, keyPath, key);
  if (result == ERROR_SUCCESS) return KeyOpen::Open;
  return result == ERROR_FILE_NOT_FOUND ? KeyOpen::Missing : KeyOpen::Failed;
}

bool ResetPinball() {
  for (int n = 0; n < 5; ++n) {
    WriteString(kPinballKey, Numbered("%d.Name", n), "");
    WriteString(kPinballKey, Numbered("%d.Score", n), std::to_string(kNoScore));
  }
  WriteString(kPinballKey, "Verification", kEmptyVerification);
  return true;
}

bool ResetFreeCell() {
  HKEY key = 0;
  const KeyOpen open = OpenGameKey(kFreeCellKey, &key);
  if (open != KeyOpen::Open) return open == KeyOpen::Missing;
  for (const std::string_view name : kFreeCellValues) static_cast<void>(RegDeleteValueW(key, name));
  RegCloseKey(key);
  return true;
}

bool ResetMines() {
  for (int n = 1; n <= 3; ++n) {
    WriteString(kMinesKey, Numbered("Name%d", n), kAnonymous);
    WriteDword(kMinesKey, Numbered("Time%d", n), kNoTime);
  }
  return true;
}

bool ResetSpider() {
  HKEY key = 0;
  const KeyOpen open = OpenGameKey(kSpiderKey, &key);
  if (open != KeyOpen::Open) return open == KeyOpen::Missing;
  RegCloseKey(key);
  bool ok = true;
  for (const std::string_view level : kSpiderLevels) {
    std::uint32_t deleted = 0;
    // "*" stands for at least one character: a value named just "Easy" stays.
    if (!DeleteMatchingValues(HKEY_CURRENT_USER, kSpiderKey, "*" + std::string(level), deleted)) {
      ok = false;
    }
  }
  return ok;
}

struct Game {
  const char* name;
  bool (*reset)();
};
constexpr std::array<Game, 4> kGames = {{{"pinball", ResetPinball},
                                         {"freecell", ResetFreeCell},
                                         {"mine", ResetMines},
                                         {"spider", ResetSpider}}};

bool ValueExists(const char* keyPath, std::string_view name) {
  HKEY key = 0;
  if (RegOpenKeyW(HKEY_CURRENT_USER, keyPath, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  const bool found = RegQueryValueExW(key, name, nullptr, nullptr, &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

}  // namespace

void WinGamesPlugin::ListValue(const char* keyPath, std::string_view name) {
  if (!ValueExists(keyPath, name)) return;
  foundValues_.Add(
      {"HKEY_CURRENT_USER\\" + std::string(keyPath) + "\\" + std::string(name), 0, -1});
}

WinGamesPlugin::WinGamesPlugin(PluginOwner& owner) : Plugin(kWinGamesId, "Games", owner) {
  LoadTracksLeft();
}

void WinGamesPlugin::ReadPinball() {
  std::uint32_t found = 0;
  for (int n = 0; n < 5; ++n) {
    PinballEntry& entry = pinball_[n];
    entry.name = ReadString(kPinballKey, Numbered("%d.Name", n), "");
    entry.score = ScoreOf(ReadString(kPinballKey, Numbered("%d.Score", n), "-999"));
    if (entry.score != kNoScore || !entry.name.empty()) {
      ++found;
      ListValue(kPinballKey, Numbered("%d.Name", n));
      ListValue(kPinballKey, Numbered("%d.Score", n));
    }
  }
  records_["pinball"] = found;
}

void WinGamesPlugin::ReadFreeCell() {
  freeCellWon_ = ReadDword(kFreeCellKey, "won", 0);
  freeCellLost_ = ReadDword(kFreeCellKey, "lost", 0);
  records_["freecell"] = freeCellWon_ != 0 || freeCellLost_ != 0 ? 1 : 0;
  if (freeCellWon_ != 0) ListValue(kFreeCellKey, "won");
  if (freeCellLost_ != 0) ListValue(kFreeCellKey, "lost");
}

void WinGamesPlugin::ReadMines() {
  std::uint32_t found = 0;
  for (int n = 1; n <= 3; ++n) {
    MinesLevel& level = mines_[n - 1];
    level.name = ReadString(kMinesKey, Numbered("Name%d", n), kAnonymous);
    level.time = ReadDword(kMinesKey, Numbered("Time%d", n), kNoTime);
    if (level.name != kAnonymous || level.time != kNoTime) {
      ++found;
      ListValue(kMinesKey, Numbered("Name%d", n));
      ListValue(kMinesKey, Numbered("Time%d", n));
    }
  }
  records_["mine"] = found;
}

void WinGamesPlugin::ReadSpider() {
  std::uint32_t found = 0;
  for (std::size_t i = 0; i < kSpiderLevels.size(); ++i) {
    const std::string level(kSpiderLevels[i]);
    spider_[i].wins = ReadDword(kSpiderKey, "Wins_" + level, 0);
    spider_[i].losses = ReadDword(kSpiderKey, "Losses_" + level, 0);
    if (spider_[i].wins != 0) ListValue(kSpiderKey, "Wins_" + level);
    if (spider_[i].losses != 0) ListValue(kSpiderKey, "Losses_" + level);
    if (spider_[i].wins != 0 || spider_[i].losses != 0) ++found;
  }
  records_["spider"] = found;
}

std::uint32_t WinGamesPlugin::TotalRecords() const {
  std::uint32_t total = 0;
  for (const auto& [game, count] : records_) total += count;
  return total;
}

PluginResult WinGamesPlugin::ScanTracks() {
  records_.clear();
  reset_.clear();
  foundValues_.Clear();
  ReadPinball();
  ReadFreeCell();
  ReadMines();
  ReadSpider();
  static_cast<void>(PublishTracksLeft({{"items", TotalRecords()}}));
  return PluginResult::Finished;
}

PluginResult WinGamesPlugin::EraseTracks() {
  reset_.clear();
  bool chain = true;
  std::uint32_t erased = 0;
  for (const Game& game : kGames) {
    // After a failure the later games are left as they are.
    chain = chain && game.reset();
    reset_[game.name] = chain;
    if (chain) erased += records_[game.name];
  }
  Tally().AddDone({erased, 0});
  TracksLeftMap figures = TracksLeft();
  figures["items"] = figures["items"] >= erased ? figures["items"] - erased : 0;
  static_cast<void>(PublishTracksLeft(std::move(figures)));
  return chain ? PluginResult::Finished : PluginResult::Failed;
}

int WinGamesPlugin::ShowDetails(dom::Element element) {
  if (GetScanState() == ScanState::NotScanned) return 1;
  const std::string none = LoadPluginText("nogames.html");

  std::string freeCell = LoadPluginText("detailFreeCell.html");
  TemplateStore::Fill(freeCell, {{"#FreeCellWins#", std::to_string(freeCellWon_)},
                                 {"#FreeCellLose#", std::to_string(freeCellLost_)}});

  std::string mines = LoadPluginText("detailMines.html");
  constexpr std::array<std::string_view, 3> kLevelNames = {"Begin", "Immediate", "Expert"};
  std::array<std::string, 3> names;
  for (std::size_t i = 0; i < mines_.size(); ++i) {
    const MinesLevel& level = mines_[i];
    const bool empty = level.time == kNoTime && level.name == kAnonymous;
    const std::string prefix = "#Mines" + std::string(kLevelNames[i]);
    TemplateStore::Replace(mines, prefix + "Score#", empty ? "0" : std::to_string(level.time));
    names[i] = empty ? none : HtmlEscape(level.name);
  }
  // Names are the machine's text: filled last, so that none can be taken for a placeholder.
  for (std::size_t i = 0; i < names.size(); ++i) {
    TemplateStore::Replace(mines, "#Mines" + std::string(kLevelNames[i]) + "Name#", names[i]);
  }

  std::string spider = LoadPluginText("detailSpiderSolitaire.html");
  for (std::size_t i = 0; i < spider_.size(); ++i) {
    const std::string prefix = "#Spider" + std::string(kSpiderLevels[i]);
    TemplateStore::Replace(spider, prefix + "Wins#", std::to_string(spider_[i].wins));
    TemplateStore::Replace(spider, prefix + "Lose#", std::to_string(spider_[i].losses));
  }

  const std::string itemTemplate = LoadPluginText("detailPinballitem.html");
  std::string pinballRows;
  for (std::size_t i = 0; i < pinball_.size(); ++i) {
    const PinballEntry& entry = pinball_[i];
    const bool empty = entry.score == kNoScore && entry.name.empty();
    std::string row = itemTemplate;
    TemplateStore::Fill(row, {{"#PinBallNumber#", std::to_string(i + 1)},
                              {"#PinBallScore#", empty ? "" : std::to_string(entry.score)},
                              {"#PinballName#", empty ? none : HtmlEscape(entry.name)}});
    pinballRows += row;
  }
  std::string pinball = LoadPluginText("detailPinball.html");
  TemplateStore::Replace(pinball, "#pinballdetail#", pinballRows);

  const std::uint32_t total = TotalRecords();
  std::string totals = LoadPluginText("totaldetails.html");
  TemplateStore::Fill(totals, {{"#num#", std::to_string(total)},
                               {"#icon#", total != 0 ? LoadNoIcon() : LoadOkIcon()}});
  std::string page = LoadPluginText("details.html");
  // The players' names are the machine's text: filled last.
  TemplateStore::Fill(page,
                      {{"#totalinfo#", totals},
                       {"#foundvalues#", FoundItemsHtml(foundValues_, LanguageFolder(), false)},
                       {"#gamedetail#", freeCell + mines + spider + pinball}});
  element.SetInnerHtml(page);
  return 0;
}

int WinGamesPlugin::ShowReport(dom::Element element) {
  if (GetScanState() != ScanState::Erased) return 1;
  const std::string nothing = LoadSharedPluginText(LanguageFolder(), kNothingToErase);
  // A game reset without a record found had nothing to erase: not marked as erased.
  const auto hadRecords = [this](const std::string& game) {
    const auto found = records_.find(game);
    return found != records_.end() && found->second != 0;
  };
  const auto result = [this, &nothing, &hadRecords](const char* game) {
    const auto found = reset_.find(game);
    if (found == reset_.end() || !found->second) return ResErrorHtml();
    return hadRecords(game) ? ResErasedHtml() : nothing;
  };
  std::string games = LoadPluginText("gamereport.html");
  TemplateStore::Fill(games, {{"#EraseresultFreeCell#", result("freecell")},
                              {"#EraseresultMines#", result("mine")},
                              {"#EraseresultPinball#", result("pinball")},
                              {"#EraseresultSpider#", result("spider")}});
  std::uint32_t resetCount = 0;
  for (const auto& [game, done] : reset_) resetCount += done && hadRecords(game) ? 1 : 0;
  std::string totals = LoadPluginText("totalreport.html");
  TemplateStore::Replace(totals, "#num#", std::to_string(resetCount));
  std::string page = LoadPluginText("report.html");
  TemplateStore::Fill(page, {{"#totalinfo#", totals}, {"#gamereport#", games}});
  element.SetInnerHtml(page);
  return 0;
}

}  // namespace corvane
