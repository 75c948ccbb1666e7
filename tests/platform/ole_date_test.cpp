#include "platform/ole_date.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(OleDateTest, DaysCountFromTheLastDaysOf1899) {
  EXPECT_DOUBLE_EQ(OleDateFromLocal({1899, 12, 30, 0, 0, 0}).value, 0.0);
  EXPECT_DOUBLE_EQ(OleDateFromLocal({1900, 1, 1, 0, 0, 0}).value, 2.0);
  EXPECT_DOUBLE_EQ(OleDateFromLocal({1900, 3, 1, 0, 0, 0}).value, 61.0);  // 1900 had no 29 Feb
  EXPECT_DOUBLE_EQ(OleDateFromLocal({2000, 1, 1, 18, 0, 0}).value, 36526.75);
  // Before day 0 the time of day counts away from zero.
  EXPECT_DOUBLE_EQ(OleDateFromLocal({1899, 12, 29, 6, 0, 0}).value, -1.25);
}

TEST(OleDateTest, ConvertsBackToTheSameSecond) {
  for (const LocalDateTime& local :
       {LocalDateTime{2026, 12, 8, 23, 59, 59}, LocalDateTime{1899, 12, 29, 6, 0, 1},
        LocalDateTime{2024, 2, 29, 0, 0, 0}, LocalDateTime{100, 1, 1, 12, 30, 0},
        LocalDateTime{9999, 12, 31, 23, 59, 59}}) {
    const OleDate date = OleDateFromLocal(local);
    ASSERT_TRUE(date.valid);
    const std::optional<LocalDateTime> back = LocalFromOleDate(date);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(std::tie(back->year, back->month, back->day, back->hour, back->minute, back->second),
              std::tie(local.year, local.month, local.day, local.hour, local.minute, local.second));
  }
}

TEST(OleDateTest, ImpossibleDatesAreInvalid) {
  for (const LocalDateTime& local :
       {LocalDateTime{2023, 2, 29, 0, 0, 0}, LocalDateTime{2024, 4, 31, 0, 0, 0},
        LocalDateTime{2024, 13, 1, 0, 0, 0}, LocalDateTime{99, 12, 31, 0, 0, 0},
        LocalDateTime{10000, 1, 1, 0, 0, 0}, LocalDateTime{2024, 1, 1, 24, 0, 0}}) {
    EXPECT_FALSE(OleDateFromLocal(local).valid) << local.year << "-" << local.month;
  }
  EXPECT_FALSE(LocalFromOleDate({3e6, true}).has_value());  // beyond the year 9999
  EXPECT_FALSE(LocalFromOleDate({1.0, false}).has_value());
}

TEST(OleDateTest, CalendarDaysAndInvalidDates) {
  const OleDate morning = OleDateFromLocal({2026, 12, 8, 0, 0, 1});
  const OleDate night = OleDateFromLocal({2026, 12, 8, 23, 59, 59});
  const OleDate nextDay = OleDateFromLocal({2026, 12, 9, 0, 0, 0});
  EXPECT_FALSE(OnDifferentDays(morning, night));
  EXPECT_TRUE(OnDifferentDays(night, nextDay));
  EXPECT_TRUE(OnDifferentDays(OleDateFromLocal({2025, 12, 8, 12, 0, 0}), morning));  // a year on
  EXPECT_TRUE(OnDifferentDays(OleDate{}, morning));
  EXPECT_FALSE(OnDifferentDays(OleDate{}, OleDate{}));
  EXPECT_TRUE(OleDateNow().valid);
}

}  // namespace
}  // namespace corvane
