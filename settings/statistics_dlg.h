#pragma once
// The statistics page: what every plug-in has erased in all runs, today and in the last run, with
// a totals row, the check box that switches statistics on and off, and Clear, Print and Close.
// Clear only marks the figures cleared; the caller clears the store when the page has closed.

#include <string>
#include <vector>

#include "engine/plugin_counters.h"
#include "platform/ole_date.h"
#include "ui/no_scroll_html_dlg.h"

namespace corvane {

inline constexpr char kStatisticsPageName[] = "Common\\stat_layout.html";
inline constexpr int kStatisticsDialogTemplate = 140;

class CStatisticsDlg final : public CNoScrollHtmlDlg {
 public:
  // `names` are the plug-ins' display names (HTML), `counters` their figures, in list order.
  CStatisticsDlg(Host& host, CNoScrollHtmlDlg* parent, std::string languageFolder, bool enabled,
                 std::vector<std::string> names, std::vector<PluginCounters> counters,
                 const OleDate& lastCleanup);

  [[nodiscard]] bool Enabled() const { return enabled_; }
  [[nodiscard]] bool Cleared() const { return cleared_; }

  // The page's content: the table of every plug-in's figures and the totals.
  [[nodiscard]] std::string RenderContent() const;

  void OnDocumentComplete() override;

 protected:
  void OnClickElement(dom::Element element) override;

 private:
  [[nodiscard]] std::string LanguageText(std::string_view fileName) const;

  std::string languageFolder_;
  bool enabled_;
  bool cleared_ = false;
  std::vector<std::string> names_;
  std::vector<PluginCounters> counters_;
  OleDate lastCleanup_;
};

}  // namespace corvane
