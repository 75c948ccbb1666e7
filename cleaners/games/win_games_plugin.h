#pragma once
// The score tables of the games that come with Windows: 3D Pinball, FreeCell, Minesweeper and
// Spider Solitaire keep them in the user's registry. The cleaner reads them, shows them, and
// resets them: values deleted, or written back to the games' own empty defaults. No files.

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "engine/found_items.h"
#include "engine/plugin.h"

namespace corvane {

inline constexpr char kWinGamesId[] = "WinGames";

class WinGamesPlugin final : public Plugin {
 public:
  explicit WinGamesPlugin(PluginOwner& owner);

  int ShowDetails(dom::Element element) override;
  int ShowReport(dom::Element element) override;

  struct PinballEntry {
    std::int32_t score = -999;
    std::string name;
  };
  struct MinesLevel {
    std::uint32_t time = 999;
    std::string name = "Anonymous";
  };
  struct SpiderRecord {
    std::uint32_t wins = 0;
    std::uint32_t losses = 0;
  };

  [[nodiscard]] const std::array<PinballEntry, 5>& Pinball() const { return pinball_; }
  [[nodiscard]] std::uint32_t FreeCellWon() const { return freeCellWon_; }
  [[nodiscard]] std::uint32_t FreeCellLost() const { return freeCellLost_; }
  [[nodiscard]] const std::array<MinesLevel, 3>& Mines() const { return mines_; }
  [[nodiscard]] const std::array<SpiderRecord, 3>& Spider() const { return spider_; }
  // Records found per game ("pinball", "freecell", "mine", "spider").
  [[nodiscard]] const std::map<std::string, std::uint32_t>& Records() const { return records_; }
  // Per game, whether the last erase reset it.
  [[nodiscard]] const std::map<std::string, bool>& Reset() const { return reset_; }
  // The registry values that hold the records found, for the details page.
  [[nodiscard]] const FoundItems& FoundValues() const { return foundValues_; }

 protected:
  PluginResult ScanTracks() override;
  PluginResult EraseTracks() override;

 private:
  void ReadPinball();
  void ReadFreeCell();
  void ReadMines();
  void ReadSpider();
  [[nodiscard]] std::uint32_t TotalRecords() const;
  // Lists the value of the game's key when it is there.
  void ListValue(const char* keyPath, std::string_view name);

  std::array<PinballEntry, 5> pinball_{};
  std::uint32_t freeCellWon_ = 0;
  std::uint32_t freeCellLost_ = 0;
  std::array<MinesLevel, 3> mines_{};
  std::array<SpiderRecord, 3> spider_{};
  std::map<std::string, std::uint32_t> records_;
  std::map<std::string, bool> reset_;
  FoundItems foundValues_;
};

}  // namespace corvane
