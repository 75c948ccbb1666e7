#pragma once
// Dates as OLE automation keeps them: days since 30 December 1899 as a double, the time of day in
// the fraction. A date carries a validity flag, since a conversion can fail and a date that was
// never set must not compare equal to a real one.

#include <optional>

namespace corvane {

struct OleDate {
  double value = 0.0;
  bool valid = false;
};

// A local calendar date and time of day, to the second.
struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The date of a calendar date and time; invalid outside the years 100 to 9999 (the range OLE dates
// cover) or for a day the month does not have.
[[nodiscard]] OleDate OleDateFromLocal(const LocalDateTime& local);
// The calendar date and time of a valid date; none for an invalid one.
[[nodiscard]] std::optional<LocalDateTime> LocalFromOleDate(const OleDate& date);
// The local time now, to the second.
[[nodiscard]] OleDate OleDateNow();

// Whether two dates fall on different calendar days. An invalid date counts as day -1 of month -1
// of year -1, so it differs from every valid date and equals another invalid one.
[[nodiscard]] bool OnDifferentDays(const OleDate& a, const OleDate& b);

}  // namespace corvane
