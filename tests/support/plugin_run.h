#pragma once
// Runs a plug-in's scan or erase on its worker thread and waits for it, as a run would.

#include <string>

#include "engine/plugin.h"
#include "platform/dom/document.h"
#include "platform/event.h"

namespace corvane::test {

inline void RunScan(Plugin& plugin, Event& cancel) {
  plugin.StartScan(&cancel);
  plugin.WaitForWorker();
}

inline void RunErase(Plugin& plugin, Event& cancel) {
  plugin.StartErase(&cancel);
  plugin.WaitForWorker();
}

// Markup without its line-break opportunities ("<wbr>", with whatever attributes the document
// gave it): names read as the user sees them.
inline std::string WithoutBreaks(std::string html) {
  for (std::size_t at = html.find("<wbr"); at != std::string::npos; at = html.find("<wbr", at)) {
    const std::size_t end = html.find('>', at);
    html.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);
  }
  return html;
}

// The details (or report) page the plug-in puts into an element, without line-break
// opportunities; empty when it shows none.
inline std::string PageHtml(Plugin& plugin, bool report = false) {
  auto page = dom::Document::Parse("<div id=area></div>");
  dom::Element area = page->GetElementById("area");
  const int shown = report ? plugin.ShowReport(area) : plugin.ShowDetails(area);
  return shown == 0 ? WithoutBreaks(area.InnerHtml()) : std::string();
}

}  // namespace corvane::test
