#pragma once
// The message histories of three messengers: ICQ Lite 5, ICQ Pro 2003b and MSN Messenger 7.0.
// Each history file is one item; the erase deletes whole files. The pages show a block per
// messenger, and a click on an ICQ Lite or MSN row opens that file.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/plugin.h"

namespace corvane {

inline constexpr char kMessageHistoryId[] = "MessageHistory";

class MessageHistoryPlugin final : public Plugin {
 public:
  enum class Messenger { IcqLite = 0, IcqPro = 1, Msn = 2 };
  enum class FileStatus : std::uint32_t { NotProcessed = 0, NotDeleted = 10, Deleted = 20 };
  struct HistoryFile {
    std::string path;
    std::uint64_t size = 0;  // filled by the erase
    FileStatus status = FileStatus::NotProcessed;
  };
  using FileList = std::vector<HistoryFile>;

  explicit MessageHistoryPlugin(PluginOwner& owner);

  int ShowDetails(dom::Element element) override;
  int ShowReport(dom::Element element) override;
  // "icqlite5-" and "msn70-" rows, numbered from 1 as the page numbers them.
  [[nodiscard]] std::optional<std::string> ItemToOpen(std::string_view rowPrefix,
                                                      std::size_t number) const override;

  [[nodiscard]] const FileList& Scanned(Messenger messenger) const {
    return scanned_[static_cast<std::size_t>(messenger)];
  }
  [[nodiscard]] const FileList& Erased(Messenger messenger) const {
    return erased_[static_cast<std::size_t>(messenger)];
  }

 protected:
  PluginResult ScanTracks() override;
  PluginResult EraseTracks() override;

 private:
  // Lists the messenger's history files afresh; false when the run was cancelled meanwhile.
  [[nodiscard]] bool ListHistory(Messenger messenger, FileList& files) const;
  [[nodiscard]] std::string Rows(bool details) const;

  std::array<FileList, 3> scanned_;
  std::array<FileList, 3> erased_;
};

}  // namespace corvane
