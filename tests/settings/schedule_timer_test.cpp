#include "settings/schedule_timer.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/registry_key.h"
#include "platform/program_folder.h"
#include "tests/support/temp_machine.h"

namespace corvane {
namespace {

constexpr char kKey[] = "Software\\Corvane\\Erase";

std::string Stored(const char* name) {
  RegistryString value(HKEY_LOCAL_MACHINE, kKey, name, "(none)");
  value.SetReadOnly(true);
  return value.value;
}
void Store(const char* name, const std::string& text) {
  RegistryString value(HKEY_LOCAL_MACHINE, kKey, name, "");
  value.value = text;
}

class ScheduleTimerTest : public ::testing::Test {
 protected:
  // A clock the test moves; no test waits for real time.
  ScheduleTimer Timer() {
    return ScheduleTimer([this] { return now_; });
  }
  bool Tick(ScheduleTimer& timer) {
    return timer.OnScheduleTimer([this] { ++shown_; });
  }

  TempMachine machine_;
  std::int64_t now_ = 220'000'000;  // a minute in 2019
  int shown_ = 0;
};

TEST_F(ScheduleTimerTest, ADailyScheduleIsDueAtOnceThenOnceADay) {
  ScheduleTimer timer = Timer();
  EXPECT_TRUE(timer.IsManualSchedule());
  EXPECT_FALSE(Tick(timer));  // manual: never by itself
  timer.ApplySchedule(kScheduleCodeDaily);
  EXPECT_EQ(Stored("Run"), "dialy");
  EXPECT_EQ(timer.PeriodDays(), 1);

  EXPECT_TRUE(Tick(timer));  // "Last" is "Never": due at once
  EXPECT_EQ(shown_, 1);
  EXPECT_EQ(Stored("Last"), std::to_string(now_));
  now_ += 1439;
  EXPECT_FALSE(Tick(timer));
  now_ += 1;
  EXPECT_TRUE(Tick(timer));
  EXPECT_EQ(shown_, 2);

  // A clock set back waits until the period has passed again from the old minute.
  const std::int64_t last = now_;
  now_ -= 5000;
  EXPECT_FALSE(Tick(timer));
  now_ = last + 1440;
  EXPECT_TRUE(Tick(timer));
}

TEST_F(ScheduleTimerTest, KindsAreReadWithoutCaseAndBadValuesNeverPrompt) {
  Store("Run", "WEEKLY");
  Store("Last", "Never");
  ScheduleTimer weekly = Timer();
  EXPECT_EQ(weekly.PeriodDays(), 7);
  Store("Run", "hourly");
  ScheduleTimer unknown = Timer();
  EXPECT_EQ(unknown.PeriodDays(), 0);
  EXPECT_FALSE(unknown.IsManualSchedule());
  EXPECT_FALSE(Tick(unknown));
  unknown.ApplySchedule(12345);  // no such code: "Run" stays
  EXPECT_EQ(Stored("Run"), "hourly");

  // "Last" that is no number counts as never; one too large for 32 bits does not wrap.
  Store("Run", "monthly");
  Store("Last", "soon");
  ScheduleTimer monthly = Timer();
  EXPECT_EQ(monthly.LastMinute(), 0);
  EXPECT_TRUE(Tick(monthly));
  Store("Last", "99999999999");
  monthly.Reschedule();
  EXPECT_EQ(monthly.LastMinute(), 99999999999LL);
  EXPECT_FALSE(Tick(monthly));
  // A far-future clock is still past it eventually, without overflow.
  now_ = 99999999999LL + 30 * 1440;
  EXPECT_TRUE(Tick(monthly));

  // The tick re-reads "Run": a choice made elsewhere stops the prompts.
  Store("Run", "bootup");
  now_ += 100 * 1440;
  EXPECT_FALSE(Tick(monthly));
  EXPECT_TRUE(monthly.IsBootupSchedule());
}

TEST_F(ScheduleTimerTest, TheChoiceShowsTheStoredKindChecked) {
  SetProgramFolder(CORVANE_PROGRAM_DIR);
  Store("Run", "Weekly");
  ScheduleTimer timer = Timer();
  auto page = dom::Document::Parse(R"(<h3 id="ShedulerTitle"></h3><div id="Sheduler"></div>)");
  timer.RenderScheduleChoice(*page, "English");
  EXPECT_NE(page->GetElementById("ShedulerTitle").InnerText(), "");
  for (const char* id :
       {"ManuallyCheck", "DialyCheck", "WeeklyCheck", "MonthlyCheck", "BootupCheck"}) {
    const std::string html = page->GetElementById(id).InnerHtml();
    EXPECT_EQ(html.find("checked") != std::string::npos, std::string(id) == "WeeklyCheck")
        << id << ": " << html;
  }
  EXPECT_EQ(ScheduleCodeOfClick("weekly_check"), kScheduleCodeWeekly);
  EXPECT_EQ(ScheduleCodeOfClick("Weekly_check"), -1);
  SetProgramFolder("");
}

TEST(LocalMinuteNow, CountsMinutesSince1601) {
  // 2020-01-01 is 219,...: between the years 2000 and 2200 in any time zone.
  EXPECT_GT(LocalMinuteNow(), 210'000'000);
  EXPECT_LT(LocalMinuteNow(), 330'000'000);
}

}  // namespace
}  // namespace corvane
