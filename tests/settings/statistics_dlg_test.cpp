// The statistics page on the headless host (clicks through the page's DOM), and once on the
// desktop host under a private X server for a picture of it (build/tests/screenshots/).

#include "settings/statistics_dlg.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <filesystem>

#include "host/gtk/gtk_host.h"
#include "host/gtk/gtk_host_window.h"
#include "host/headless/headless_clicks.h"
#include "host/headless/headless_host.h"
#include "platform/program_folder.h"
#include "settings/statistics_store.h"
#include "tests/host/gtk/gui_wait.h"
#include "tests/support/xvfb_display.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<PluginCounters> Figures() {
  PluginCounters cache;
  cache.erasedTotal = {1234, 52'428'800};
  cache.erasedToday = {34, 1'536};
  cache.current = {12, 499};
  PluginCounters history;
  history.erasedTotal = {0xFFFF'FFFFU, 3 * 1'073'741'824ULL};
  history.erasedToday = {5, 2'097'152};
  history.current = {5, 2'097'152};
  return {cache, history, PluginCounters{}};
}

std::vector<std::string> Names() {
  return {"Browser cache", "Browser history", "Windows games"};
}

class StatisticsDlgTest : public ::testing::Test {
 protected:
  StatisticsDlgTest() { SetProgramFolder(CORVANE_PROGRAM_DIR); }
  ~StatisticsDlgTest() override { SetProgramFolder(""); }

  std::unique_ptr<CStatisticsDlg> Open(bool enabled, const OleDate& last) {
    auto page = std::make_unique<CStatisticsDlg>(host_, nullptr, "English", enabled, Names(),
                                                 Figures(), last);
    page->CreateModeless();
    EXPECT_TRUE(host_.Loop().RunUntil([&] { return page->Document() != nullptr; }, 60s));
    return page;
  }
  std::string Text(CStatisticsDlg& page, std::string_view id) {
    return page.GetElement(id).InnerText();
  }

  HeadlessHost host_;
};

TEST_F(StatisticsDlgTest, FiguresTotalsAndTheLastCleanup) {
  auto page = Open(true, ParseCleanupDate("2024-03-07 09:05:00"));
  const std::string area = Text(*page, "StatArea");
  EXPECT_NE(area.find("07-Mar-24 09:05"), std::string::npos) << area;
  EXPECT_NE(area.find("1,234"), std::string::npos);
  EXPECT_NE(area.find("50.00 MB"), std::string::npos);
  EXPECT_NE(area.find("499.00 B"), std::string::npos);
  // The totals row: counts past 32 bits do not wrap.
  const std::vector<dom::Element> rows = page->GetElement("StatTable").Rows();
  ASSERT_EQ(rows.size(), 4U);
  EXPECT_EQ(rows.back().Cells().at(1).InnerText(), "4,294,968,529");
  EXPECT_EQ(rows.back().Cells().at(3).InnerText(), "39");
  EXPECT_NE(page->GetElement("cbStatEnabled").OuterHtml().find("checked"), std::string::npos);
  EXPECT_NE(Text(*page, "CloseBtn"), "");

  // A header sorts the rows; the totals stay last.
  const std::vector<dom::Element> headers =
      page->Document()->ElementsWithAttribute("valuetype", "bytesize");
  ASSERT_FALSE(headers.empty());
  auto& window = static_cast<HeadlessWindow&>(*page->Window());
  window.Input({ViewInput::Kind::Click, headers[0].Number(), false, {}});
  host_.Loop().RunPending();
  const std::vector<dom::Element> sorted = page->GetElement("StatTable").Rows();
  EXPECT_EQ(sorted[0].Cells().at(0).InnerText(), "Browser history");  // 3 GB first
  EXPECT_EQ(sorted[2].Cells().at(0).InnerText(), "Windows games");
  EXPECT_EQ(sorted[3].Cells().at(0).InnerText(), "Total");
}

TEST_F(StatisticsDlgTest, NoCleanupYetClearPrintAndTheEnabledBox) {
  auto page = Open(false, ParseCleanupDate(""));
  EXPECT_NE(Text(*page, "StatArea").find("never"), std::string::npos);
  EXPECT_EQ(page->GetElement("cbStatEnabled").OuterHtml().find("checked"), std::string::npos);

  ASSERT_TRUE(ClickByCid(*page, "cbStatEnabled"));
  host_.Loop().RunPending();
  EXPECT_TRUE(page->Enabled());

  // Print renders the content again into the print page, which goes to the print dialog.
  int printed = 0;
  host_.SetPrintDialog([&] {
    ++printed;
    return true;
  });
  host_.AddModalStep([](HeadlessWindow&) {});  // the print page ends itself
  ASSERT_TRUE(ClickByCid(*page, "btn_print"));
  host_.Loop().RunPending();
  EXPECT_EQ(printed, 1);

  ASSERT_TRUE(ClickByCid(*page, "btn_clean"));
  host_.Loop().RunPending();
  EXPECT_TRUE(page->Cleared());
  const std::vector<dom::Element> rows = page->GetElement("StatTable").Rows();
  EXPECT_EQ(rows.back().Cells().at(1).InnerText(), "0");
}

TEST(StatisticsDlgGuiTest, ThePageAsAUserSeesIt) {
  if (!testing::XvfbDisplay::Shared().Running()) GTEST_SKIP() << "Xvfb could not start";
  SetProgramFolder(CORVANE_PROGRAM_DIR);
  std::unique_ptr<GtkHost> host = GtkHost::Create(CORVANE_PROGRAM_DIR);
  if (!host) GTEST_SKIP() << "GTK cannot open the display";
  CStatisticsDlg page(*host, nullptr, "English", true, Names(), Figures(),
                      ParseCleanupDate("2024-03-07 09:05:00"));
  page.CreateModeless();
  page.Window()->Show();
  auto& window = dynamic_cast<GtkHostWindow&>(*page.Window());
  struct Result {
    bool done = false;
    cairo_surface_t* surface = nullptr;
  } result;
  ASSERT_TRUE(testing::RunUntil([&] { return page.Document() != nullptr; }));
  page.FlushChanges();
  // Twice through the loop's idle work, so the view has drawn the content.
  ASSERT_TRUE(testing::RunUntil([&] { return !webkit_web_view_is_loading(window.View()); }));
  webkit_web_view_get_snapshot(
      window.View(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
      [](GObject* view, GAsyncResult* async, gpointer data) {
        auto* result = static_cast<Result*>(data);
        result->surface =
            webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(view), async, nullptr);
        result->done = true;
      },
      &result);
  ASSERT_TRUE(testing::RunUntil([&] { return result.done; }));
  ASSERT_NE(result.surface, nullptr);
  const fs::path shots = fs::path(CORVANE_PROGRAM_DIR).parent_path() / "tests" / "screenshots";
  fs::create_directories(shots);
  EXPECT_EQ(cairo_surface_write_to_png(result.surface, (shots / "statistics.png").c_str()),
            CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(result.surface);
  SetProgramFolder("");
}

}  // namespace
}  // namespace corvane
