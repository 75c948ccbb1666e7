#pragma once
// The lists of recently opened documents: the shortcuts of the user's "Recent" folder, the
// most-recently-used lists of several Office programs in the registry, and Office's own "Recent"
// folder. The details page lists each document with its type and path; a click on a row opens it.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/found_items.h"
#include "engine/plugin.h"

namespace corvane {

inline constexpr char kRecentUsedId[] = "RecentUsed";

class RecentDocumentsPlugin final : public Plugin {
 public:
  enum class Source { Windows = 1, Office = 2 };
  enum class Status : std::int32_t { Found = 0, Processing = 1, Erased = 2, Failed = 3 };
  struct RecentDocument {
    std::string name;           // shortcut: its shown name; Office: the file name of the path
    std::string path;           // the document (a shortcut's target, or the stored text)
    std::string shortcutPath;   // shortcut: the link file itself; Office: empty
    std::string typeName;       // "-" for an Office entry without a type
    std::string registryKey;    // Office: the list's key below HKEY_CURRENT_USER; else empty
    std::string registryValue;  // Office: the value naming the document; else empty
    Status status = Status::Found;
  };
  using DocumentList = std::vector<RecentDocument>;

  explicit RecentDocumentsPlugin(PluginOwner& owner);

  int ShowDetails(dom::Element element) override;
  int ShowReport(dom::Element element) override;
  int OnCheckbox(std::string_view elementId, dom::Element element) override;
  // "RecDocId-" rows, numbered from 0 in page order.
  [[nodiscard]] std::optional<std::string> ItemToOpen(std::string_view rowPrefix,
                                                      std::size_t number) const override;

  [[nodiscard]] const DocumentList& Documents(Source source) const {
    return source == Source::Windows ? windows_ : office_;
  }
  // The Office lists' registry values found, for the details page.
  [[nodiscard]] const FoundItems& FoundValues() const { return foundValues_; }

 protected:
  PluginResult ScanTracks() override;
  PluginResult EraseTracks() override;

 private:
  // The rows the pages show: the Windows entries, then Office's.
  [[nodiscard]] std::vector<const RecentDocument*> Rows() const;
  [[nodiscard]] std::string RowsHtml(bool details) const;

  DocumentList windows_;
  DocumentList office_;
  FoundItems foundValues_;
};

// The shortcuts of the Recent folder (a machine path) whose target is known and exists, in the
// folder's order.
[[nodiscard]] RecentDocumentsPlugin::DocumentList ScanRecentFolder(std::string_view folder);

}  // namespace corvane
