#include "engine/domain_pages.h"

#include <gtest/gtest.h>

#include "platform/dom/document.h"
#include "platform/program_folder.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temp_machine.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

class CachePlugin : public Plugin {
 public:
  explicit CachePlugin(PluginOwner& owner) : Plugin("BrowserCache", "Browsing Cache", owner) {}
  using Plugin::SetScanState;

 protected:
  PluginResult ScanTracks() override { return PluginResult::Finished; }
  PluginResult EraseTracks() override { return PluginResult::Finished; }
};

class DomainPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(scratch_.Path().string());
    const std::string own = "html/English/Plugins/PlgBrowserCache/";
    scratch_.Write(own + "details.html",
                   "<div id=totals>#total#</div><table id=rows><tbody>#volumes#</tbody></table>");
    scratch_.Write(own + "report.html",
                   "<div id=totals>#total#</div><table id=rows><tbody>#volumes#</tbody></table>");
    scratch_.Write(
        own + "domaindetails.html",
        "<tr id=r#row#><td>#name#</td><td>#num#</td><td>#size#</td><td>#browser#</td></tr>");
    scratch_.Write(own + "domainreport.html",
                   "<tr><td>#name#</td><td>#num#</td><td>#size#</td><td>#browser#</td>"
                   "<td>#result#</td></tr>");
    const std::string totals =
        "<span id=numdom>#numdom#</span><span id=numit>#numit#</span><span id=size>#size#</span>";
    scratch_.Write(own + "totaldetails.html", totals + "<span id=icon>#icon#</span>");
    scratch_.Write(own + "totalreport.html", totals);
    scratch_.Write(own + "res_Erased.html", "<b>erased</b>");
    scratch_.Write(own + "res_Error.html", "<b>failed</b>");
    scratch_.Write("html/English/Plugins/no_items_found.html", "<tr><td>nothing found</td></tr>");
    scratch_.Write("html/English/Plugins/no_items_erased.html", "<tr><td>nothing erased</td></tr>");
    scratch_.Write("html/Common/okicon.html", "<i id=ok></i>");
    scratch_.Write("html/Common/noicon.html", "<i id=no></i>");
    plugin_ = MakePlugin<CachePlugin>(owner_);
    page_ = dom::Document::Parse("<div id=DetailsArea>old</div>");
    ASSERT_TRUE(page_);
    area_ = page_->GetElementById("DetailsArea");
  }
  void TearDown() override { SetProgramFolder(""); }

  CachePlugin& Cache() { return static_cast<CachePlugin&>(*plugin_); }
  // The cells of every row of the page's table, as text.
  std::vector<std::vector<std::string>> Table() {
    std::vector<std::vector<std::string>> table;
    for (const dom::Element& row : page_->GetElementById("rows").Rows()) {
      std::vector<std::string> cells;
      for (const dom::Element& cell : row.Cells()) cells.push_back(cell.InnerText());
      table.push_back(cells);
    }
    return table;
  }
  std::string Text(std::string_view id) { return page_->GetElementById(id).InnerText(); }
  int ShowDetails(const std::vector<DomainRow>& rows) {
    return ShowDomainPage(*plugin_, area_, [&] { return BuildDomainDetails(*plugin_, rows); });
  }
  int ShowReport(const std::vector<DomainRow>& rows) {
    return ShowDomainPage(*plugin_, area_, [&] { return BuildDomainReport(*plugin_, rows); });
  }

  TempMachine machine_;
  test::ScratchFolder scratch_;
  test::TestOwner owner_;
  PluginPtr plugin_;
  std::unique_ptr<dom::Document> page_;
  dom::Element area_;
};

// Two browsers' results as a scan leaves them.
BrowserResults ScannedResults() {
  BrowserResults results;
  auto& ie = results[BrowserCode::InternetExplorer];
  ie.AddEntry("news.example", {"http://news.example/a", "C:\\c\\a", 600000, 1, 0});
  ie.AddEntry("news.example", {"http://news.example/b", "C:\\c\\b", 400000, 1, 0});
  ie.AddEntry("<b>&\"odd\"", {"http://odd/", "", 10, 1, 0});
  results[BrowserCode::Mozilla].browser = BrowserCode::Mozilla;
  results[BrowserCode::Mozilla].AddEntry("moz.example", {"http://moz.example/", "", 2048, 1, 0});
  return results;
}

TEST_F(DomainPagesTest, NothingIsShownBeforeAScan) {
  EXPECT_EQ(ShowDetails({}), 1);
  EXPECT_EQ(ShowReport({}), 1);
  EXPECT_EQ(area_.InnerText(), "old");
}

TEST_F(DomainPagesTest, DetailsListEveryRowWithTotalsAndTheNoIcon) {
  Cache().SetScanState(ScanState::Scanned);
  const auto rows = BuildDomainRows(ScannedResults(), DomainSortColumn::Size);
  EXPECT_EQ(ShowDetails(rows), 0);
  const std::vector<std::vector<std::string>> expected = {
      {"news.example", "2", "0.95 MB", "Internet Explorer"},
      {"moz.example", "1", "2.00 KB", "Mozilla"},
      {"<b>&\"odd\"", "1", "10.00 B", "Internet Explorer"},  // a domain is text, never markup
  };
  EXPECT_EQ(Table(), expected);
  EXPECT_EQ(Text("numdom"), "3");
  EXPECT_EQ(Text("numit"), "4");
  EXPECT_EQ(Text("size"), "0.96 MB");
  EXPECT_TRUE(page_->GetElementById("no"));
  EXPECT_FALSE(page_->GetElementById("ok"));
}

TEST_F(DomainPagesTest, AScanThatFoundNothingShowsTheEmptyRowZerosAndTheOkIcon) {
  Cache().SetScanState(ScanState::Scanned);
  EXPECT_EQ(ShowDetails({}), 0);
  EXPECT_EQ(Table(), (std::vector<std::vector<std::string>>{{"nothing found"}}));
  EXPECT_EQ(Text("numdom"), "0");
  EXPECT_EQ(Text("numit"), "0");
  EXPECT_EQ(Text("size"), "0.00 B");
  EXPECT_TRUE(page_->GetElementById("ok"));
}

TEST_F(DomainPagesTest, TheReportWritesErasedAndFailedRowsButCountsThemAll) {
  Cache().SetScanState(ScanState::Erased);
  std::vector<DomainRow> rows = {
      {"gone.example", 3, 300, 0, 0, BrowserCode::InternetExplorer, DomainStatus::Erased},
      {"kept.example", 2, 200, 0, 0, BrowserCode::Mozilla, DomainStatus::Found},
      {"stuck.example", 1, 100, 0, 0, BrowserCode::Mozilla, DomainStatus::Failed},
      {"chosen.example", 1, 50, 0, 0, static_cast<BrowserCode>(9), DomainStatus::Selected},
  };
  EXPECT_EQ(ShowReport(rows), 0);
  const std::vector<std::vector<std::string>> expected = {
      {"gone.example", "3", "300.00 B", "Internet Explorer", "erased"},
      {"stuck.example", "1", "100.00 B", "Mozilla", "failed"},
  };
  EXPECT_EQ(Table(), expected);
  EXPECT_EQ(Text("numdom"), "4");
  EXPECT_EQ(Text("numit"), "7");
  EXPECT_EQ(Text("size"), "0.63 KB");
  EXPECT_FALSE(page_->GetElementById("ok"));  // the report has no icon
  EXPECT_FALSE(page_->GetElementById("no"));

  // Rows that are all unerased leave the list empty; no rows at all show the shared text.
  rows = {rows[1]};
  EXPECT_EQ(ShowReport(rows), 0);
  EXPECT_TRUE(Table().empty());
  EXPECT_EQ(ShowReport({}), 0);
  EXPECT_EQ(Table(), (std::vector<std::vector<std::string>>{{"nothing erased"}}));
}

TEST_F(DomainPagesTest, AnErasedRowThatHeldNothingIsNotMarkedErased) {
  scratch_.Write("html/English/Plugins/res_Nothing.html", "<b>nothing</b>");
  Cache().SetScanState(ScanState::Erased);
  const std::vector<DomainRow> rows = {
      {"empty", 0, 0, 0, 0, BrowserCode::Mozilla, DomainStatus::Erased},
      {"full", 2, 10, 0, 0, BrowserCode::Mozilla, DomainStatus::Erased}};
  EXPECT_EQ(ShowReport(rows), 0);
  ASSERT_EQ(Table().size(), 2u);
  EXPECT_EQ(Table()[0][4], "nothing");
  EXPECT_EQ(Table()[1][4], "erased");
}

TEST_F(DomainPagesTest, DataThatLooksLikeAPlaceholderStaysAsItIs) {
  Cache().SetScanState(ScanState::Erased);
  const std::vector<DomainRow> rows = {
      {"#result##size##browser#", 1, 1, 0, 0, BrowserCode::Mozilla, DomainStatus::Erased}};
  EXPECT_EQ(ShowReport(rows), 0);
  EXPECT_EQ(Table()[0][0], "#result##size##browser#");
}

TEST_F(DomainPagesTest, RowsAreNumberedInPageOrderForTheirCheckBoxes) {
  Cache().SetScanState(ScanState::Scanned);
  const std::vector<DomainRow> rows = {
      {"#row#", 1, 1, 0, 0, BrowserCode::InternetExplorer, DomainStatus::Found},
      {"b", 1, 1, 0, 0, BrowserCode::Mozilla, DomainStatus::Found}};
  EXPECT_EQ(ShowDetails(rows), 0);
  EXPECT_EQ(page_->GetElementById("r1").InnerText().substr(0, 5), "#row#");  // data stays
  EXPECT_TRUE(page_->GetElementById("r2"));
  EXPECT_FALSE(page_->GetElementById("r3"));
}

TEST_F(DomainPagesTest, TotalsBeyond32BitsAreNotCutShort) {
  Cache().SetScanState(ScanState::Scanned);
  std::vector<DomainRow> rows;
  for (int i = 0; i < 3; ++i) {
    rows.push_back({"d" + std::to_string(i), 0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0,
                    BrowserCode::InternetExplorer, DomainStatus::Found});
  }
  EXPECT_EQ(ShowDetails(rows), 0);
  EXPECT_EQ(Text("numit"), "12884901885");
  EXPECT_EQ(Text("size"), "12.00 GB");
}

// The entries of each domain come under its name, capped per domain and per page so that a page
// of 100,000 entries stays small; the rest are counted. An entry's "#" is never a placeholder.
TEST_F(DomainPagesTest, DetailsListEachDomainsEntriesWithinTheirCaps) {
  scratch_.Write("html/English/Plugins/PlgBrowserCache/domaindetails.html",
                 "<tr id=r#row#><td>#name##entries#</td><td>#num#</td><td>#size#</td>"
                 "<td>#browser#</td></tr>");
  scratch_.Write("html/English/found_entries.html",
                 "<details class=entries><summary>#count# entries</summary><table><tbody>#rows#"
                 "</tbody></table>#more#</details>");
  scratch_.Write("html/English/found_more.html", "<p class=more>and #count# more</p>");
  scratch_.Write("html/English/thousands_separator.txt", ",");
  Cache().SetScanState(ScanState::Scanned);
  BrowserResults results;
  BrowserScanResult& ie = results[BrowserCode::InternetExplorer];
  for (int i = 0; i < 100'000; ++i) {
    ie.AddEntry("big.test", {"http://big.test/" + std::to_string(i), "", 10, 1, 0});
  }
  ie.AddEntry("hash.test", {"http://hash.test/#size#", "", 2048, 1, 133'000'000'000'000'000});
  BrowserScanResult& mozilla = results[BrowserCode::Mozilla];
  for (int d = 0; d < 20; ++d) {
    for (int i = 0; i < 200; ++i) {
      mozilla.AddEntry("m" + std::to_string(d), {"http://m/" + std::to_string(i), "", 1, 1, 0});
    }
  }
  const auto rows = BuildDomainRows(results, DomainSortColumn::Size);
  EXPECT_EQ(
      ShowDomainPage(*plugin_, area_, [&] { return BuildDomainDetails(*plugin_, rows, &results); }),
      0);
  std::size_t shown = 0;
  for (const auto& cell : page_->ElementsWithAttribute("class", "item-path")) {
    static_cast<void>(cell);
    ++shown;
  }
  EXPECT_EQ(shown, kShownPageEntries);
  // The largest domain comes first: its first 300 entries, the rest counted.
  const std::string big = page_->GetElementById("r1").InnerText();
  EXPECT_NE(big.find("100,000 entries"), std::string::npos);
  EXPECT_NE(big.find("and 99,700 more"), std::string::npos);
  EXPECT_NE(big.find("http://big.test/299"), std::string::npos);
  EXPECT_EQ(big.find("http://big.test/300"), std::string::npos);
  const std::string hash = page_->GetElementById("r2").InnerText();
  EXPECT_NE(hash.find("http://hash.test/#size#"), std::string::npos) << hash;
  EXPECT_NE(hash.find("2.00 KB"), std::string::npos) << hash;
  EXPECT_NE(hash.find("2022-"), std::string::npos) << hash;  // the FILETIME as a date
  // The last domain, past the page's cap, still says how many entries it has.
  const std::string last = page_->GetElementById("r22").InnerText();
  EXPECT_NE(last.find("200 entries"), std::string::npos) << last;
  EXPECT_NE(last.find("and 200 more"), std::string::npos) << last;
}

TEST_F(DomainPagesTest, ReportsAndPagesWithoutResultsListNoEntries) {
  scratch_.Write("html/English/Plugins/PlgBrowserCache/domaindetails.html",
                 "<tr id=r#row#><td>#name##entries#</td></tr>");
  Cache().SetScanState(ScanState::Scanned);
  const std::vector<DomainRow> rows = {
      {"a", 1, 1, 0, 0, BrowserCode::InternetExplorer, DomainStatus::Found}};
  EXPECT_EQ(ShowDetails(rows), 0);
  EXPECT_EQ(page_->GetElementById("r1").InnerText(), "a");
  EXPECT_EQ(page_->GetElementById("r1").InnerHtml().find("#entries#"), std::string::npos);
}

TEST_F(DomainPagesTest, CheckBoxesAnswerAsTheirIdAndStateSay) {
  auto page = dom::Document::Parse(
      "<input type=checkbox id=cbw3 checked><div id=cbw4></div><input type=checkbox id=cbw0>");
  ASSERT_TRUE(page);
  const dom::Element box = page->GetElementById("cbw3");
  const dom::Element notABox = page->GetElementById("cbw4");
  EXPECT_EQ(OnDomainCheckbox(*plugin_, "cbw3", box), 1);  // not scanned yet
  Cache().SetScanState(ScanState::Scanned);
  EXPECT_EQ(OnDomainCheckbox(*plugin_, "cbw3", box), 0);
  EXPECT_EQ(OnDomainCheckbox(*plugin_, "cbw3", notABox), 1);  // "checked" is no boolean there
  EXPECT_EQ(OnDomainCheckbox(*plugin_, "cbw0", notABox), 0);
  EXPECT_EQ(OnDomainCheckbox(*plugin_, "cbwx", notABox), 0);
  EXPECT_EQ(OnDomainCheckbox(*plugin_, "cbw", notABox), 0);
  EXPECT_EQ(OnDomainCheckbox(*plugin_, "other7", notABox), 0);
  EXPECT_EQ(OnDomainCheckbox(*plugin_, "cbw12a", notABox), 1);
  EXPECT_EQ(OnDomainCheckbox(*plugin_, "cbw3", dom::Element()), 1);  // an element that is gone
}

}  // namespace
}  // namespace corvane
