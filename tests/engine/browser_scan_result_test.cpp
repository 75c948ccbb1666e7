#include "engine/browser_scan_result.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

DomainEntry Entry(std::uint32_t size, std::uint32_t hits, std::uint64_t lastAccess) {
  return {"http://x/", "", size, hits, lastAccess};
}

TEST(BrowserScanResultTest, EntriesAddUpPerDomainAndPerResult) {
  BrowserScanResult result;
  result.AddEntry("b.com", Entry(100, 2, 50));
  result.AddEntry("a.com", Entry(10, 1, 70));
  result.AddEntry("b.com", Entry(5, 3, 20));  // older: the latest access stays
  ASSERT_EQ(result.domains.size(), 2u);
  const DomainRecord& b = result.domains.at("b.com");
  EXPECT_EQ(b.name, "b.com");
  EXPECT_EQ(b.status, DomainStatus::Found);
  EXPECT_EQ(b.itemCount, 2u);
  EXPECT_EQ(b.hitTotal, 5u);
  EXPECT_EQ(b.size, 105u);
  EXPECT_EQ(b.lastAccess, 50u);
  EXPECT_EQ(b.entries.size(), 2u);
  EXPECT_EQ(result.items, 3u);
  EXPECT_EQ(result.size, 115u);
  // Keys are ordered by plain bytes: upper case before lower case.
  result.AddEntry("Z.com", Entry(1, 0, 0));
  EXPECT_EQ(result.domains.begin()->first, "Z.com");
}

TEST(BrowserScanResultTest, RecountTakesTheTotalsFromTheRecordsAsAnEraseLeftThem) {
  BrowserScanResult result;
  result.AddEntry("a", Entry(10, 0, 0));
  result.AddEntry("b", Entry(20, 0, 0));
  auto& erased = result.domains.at("a");
  erased.status = DomainStatus::Erased;
  erased.itemCount = 0;
  erased.size = 0;
  erased.entries.clear();
  result.Recount();
  EXPECT_EQ(result.items, 1u);
  EXPECT_EQ(result.size, 20u);
}

TEST(BrowserScanResultTest, RecordSizesPass4GiBWithoutWrapping) {
  DomainRecord record;
  record.Add(Entry(0xFFFFFFF0u, 0, 0));
  record.Add(Entry(0x20u, 0, 0));
  EXPECT_EQ(record.size, 0x100000010u);
  BrowserResults results;
  record.name = "big";
  results[BrowserCode::Mozilla].domains["big"] = record;
  results[BrowserCode::Mozilla].domains["small"].size = 0x20u;
  const auto rows = BuildDomainRows(results, DomainSortColumn::Size);
  EXPECT_EQ(rows.front().name, "big");  // sorted by the full size
  EXPECT_EQ(rows.front().size, 0x100000010u);
}

TEST(BrowserScanResultTest, RowsComeFromEveryResultSortedLargestFirst) {
  BrowserResults results;
  results[BrowserCode::InternetExplorer].AddEntry("small.ie", Entry(1, 9, 0));
  results[BrowserCode::InternetExplorer].AddEntry("big.ie", Entry(300, 1, 0));
  results[BrowserCode::Mozilla].AddEntry("mid.moz", Entry(50, 5, 0));
  results[BrowserCode::Mozilla].AddEntry("mid.moz", Entry(50, 5, 0));
  results[BrowserCode::Mozilla].domains.at("mid.moz").status = DomainStatus::Failed;

  const auto bySize = BuildDomainRows(results, DomainSortColumn::Size);
  ASSERT_EQ(bySize.size(), 3u);
  EXPECT_EQ(bySize[0].name, "big.ie");
  EXPECT_EQ(bySize[0].browser, BrowserCode::InternetExplorer);
  EXPECT_EQ(bySize[1].name, "mid.moz");
  EXPECT_EQ(bySize[1].browser, BrowserCode::Mozilla);
  EXPECT_EQ(bySize[1].itemCount, 2u);
  EXPECT_EQ(bySize[1].size, 100u);
  EXPECT_EQ(bySize[1].hitTotal, 10u);
  EXPECT_EQ(bySize[1].status, DomainStatus::Failed);
  EXPECT_EQ(bySize[2].name, "small.ie");

  const auto byItems = BuildDomainRows(results, DomainSortColumn::ItemCount);
  EXPECT_EQ(byItems[0].name, "mid.moz");
  const auto byHits = BuildDomainRows(results, DomainSortColumn::HitTotal);
  EXPECT_EQ(byHits[0].name, "mid.moz");
  EXPECT_EQ(byHits[1].name, "small.ie");
  EXPECT_EQ(byHits[2].name, "big.ie");
  EXPECT_TRUE(BuildDomainRows({}, DomainSortColumn::Size).empty());
}

TEST(BrowserScanResultTest, BrowserNamesAndUnknownCodes) {
  EXPECT_EQ(BrowserName(BrowserCode::InternetExplorer), "Internet Explorer");
  EXPECT_EQ(BrowserName(BrowserCode::Mozilla), "Mozilla");
  EXPECT_EQ(BrowserName(BrowserCode::TypedUrls), "Unknown");
  EXPECT_EQ(BrowserName(BrowserCode::Firefox), "Firefox");
  EXPECT_EQ(BrowserName(BrowserCode::Edge), "Edge");
  EXPECT_EQ(BrowserName(BrowserCode::Chromium), "Chromium");
  EXPECT_EQ(BrowserName(BrowserCode::Steam), "Steam");
  EXPECT_EQ(BrowserName(static_cast<BrowserCode>(10)), "Epic Games Launcher");
  EXPECT_EQ(BrowserName(static_cast<BrowserCode>(11)), "Unknown");
  EXPECT_EQ(BrowserName(static_cast<BrowserCode>(-5)), "Unknown");
}

}  // namespace
}  // namespace corvane
