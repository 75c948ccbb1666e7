#include "platform/ole_date.h"

#include <cmath>
#include <ctime>

namespace corvane {

namespace {

constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;
constexpr double kSecondsPerDay = 86400.0;

// Days from 1 January 1970 to the civil date (proleptic Gregorian calendar).
long long DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const long long yearOfEra = year - era * 400;
  const long long dayOfYear = (153LL * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(long long days, int& year, int& month, int& day) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long dayOfEra = days - era * 146097;
  const long long yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long long monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Day 0 of OLE dates, 30 December 1899, counted from 1 January 1970.
const long long kOleEpoch = DaysFromCivil(1899, 12, 30);

}  // namespace

OleDate OleDateFromLocal(const LocalDateTime& t) {
  if (t.year < kFirstYear || t.year > kLastYear || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
      t.minute > 59 || t.second < 0 || t.second > 59) {
    return {};
  }
  const double days = static_cast<double>(DaysFromCivil(t.year, t.month, t.day) - kOleEpoch);
  const double fraction = (t.hour * 3600 + t.minute * 60 + t.second) / kSecondsPerDay;
  // Before day 0 the fraction counts away from zero: -1.25 is 29 December 1899, 06:00.
  return {days < 0 ? days - fraction : days + fraction, true};
}

std::optional<LocalDateTime> LocalFromOleDate(const OleDate& date) {
  if (!date.valid || !std::isfinite(date.value)) return std::nullopt;
  const double whole = std::trunc(date.value);
  const double fraction = std::fabs(date.value - whole);
  long long seconds = std::llround(fraction * kSecondsPerDay);
  long long days = static_cast<long long>(whole);
  if (seconds >= 86400) {  // rounding reached the next day
    seconds -= 86400;
    days += date.value < 0 ? -1 : 1;
  }
  LocalDateTime local;
  CivilFromDays(days + kOleEpoch, local.year, local.month, local.day);
  if (local.year < kFirstYear || local.year > kLastYear) return std::nullopt;
  local.hour = static_cast<int>(seconds / 3600);
  local.minute = static_cast<int>(seconds / 60 % 60);
  local.second = static_cast<int>(seconds % 60);
  return local;
}

OleDate OleDateNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  if (localtime_r(&now, &parts) == nullptr) return {};
  // A leap second reads as the last second of its minute.
  return OleDateFromLocal({parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                           parts.tm_min, parts.tm_sec > 59 ? 59 : parts.tm_sec});
}

bool OnDifferentDays(const OleDate& a, const OleDate& b) {
  const auto day = [](const OleDate& date) {
    const std::optional<LocalDateTime> local = LocalFromOleDate(date);
    return local ? LocalDateTime{local->year, local->month, local->day} : LocalDateTime{-1, -1, -1};
  };
  const LocalDateTime x = day(a);
  const LocalDateTime y = day(b);
  return x.year != y.year || x.month != y.month || x.day != y.day;
}

}  // namespace corvane
