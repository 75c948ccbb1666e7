#pragma once
// The recycle bins of the machine's drives: the "RECYCLER", "Recycled" and "$Recycle.Bin"
// folders a disk from Windows carries, and the shell's Recycle Bin, which under Wine is the
// user's freedesktop Trash. Only Trash items that came from a drive of the prefix are this
// cleaner's: the rest of the Trash is the user's Linux business and is never touched.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/plugin.h"

namespace corvane {

inline constexpr char kRecycleBinId[] = "RecycleBin";

class RecycleBinPlugin final : public Plugin {
 public:
  enum class VolumeStatus : std::uint32_t { Found = 0, QueryFailed = 2, Erased = 3 };
  struct VolumeRecord {
    VolumeStatus status = VolumeStatus::Found;
    std::uint64_t size = 0;
    std::uint64_t items = 0;
  };
  struct RecycledItem {
    std::string name;
    std::uint64_t size = 0;
  };

  // `trashFolder`: the Trash Wine's shell uses; none for the user's own ($XDG_DATA_HOME/Trash).
  explicit RecycleBinPlugin(PluginOwner& owner,
                            std::optional<std::filesystem::path> trashFolder = std::nullopt);

  int ShowDetails(dom::Element element) override;
  int ShowReport(dom::Element element) override;

  // Per drive root ("C:\"), in root order.
  [[nodiscard]] const std::map<std::string, VolumeRecord>& Volumes() const { return volumes_; }
  [[nodiscard]] const std::vector<RecycledItem>& Items() const { return recycledItems_; }
  [[nodiscard]] std::uint64_t TotalItems() const { return totalItems_; }
  [[nodiscard]] std::uint64_t TotalBytes() const { return totalBytes_; }

 protected:
  PluginResult ScanTracks() override;
  PluginResult EraseTracks() override;

 private:
  [[nodiscard]] std::optional<std::filesystem::path> TrashFolder() const;
  // Empties the drive's bin folders and removes its Trash items; false when something stayed.
  [[nodiscard]] bool EraseVolume(const std::string& root, const CancelCheck& cancel);

  std::optional<std::filesystem::path> trashFolder_;
  std::map<std::string, VolumeRecord> volumes_;
  std::uint64_t totalItems_ = 0;
  std::uint64_t totalBytes_ = 0;
  std::vector<RecycledItem> recycledItems_;
  bool overwrite_ = false;
};

}  // namespace corvane
