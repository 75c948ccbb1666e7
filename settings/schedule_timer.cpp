#include "settings/schedule_timer.h"

#include <cstdlib>
#include <ctime>

#include "app/registry_key.h"
#include "platform/text.h"
#include "ui/template_store.h"

namespace corvane {

namespace {

constexpr char kEraseKey[] = "Software\\Corvane\\Erase";

struct ScheduleKind {
  const char* kind;
  int code;
  int periodDays;
  const char* cid;
  const char* element;
  const char* checkTemplate;
  const char* labelTemplate;
};

constexpr ScheduleKind kKinds[] = {
    {"manually", kScheduleCodeManually, 0, "manual_check", "ManuallyCheck",
     "/sheduler_manually_check.html", "/sheduler_manual.html"},
    {"dialy", kScheduleCodeDaily, 1, "dialy_check", "DialyCheck", "/sheduler_dialy_check.html",
     "/sheduler_dialy.html"},
    {"weekly", kScheduleCodeWeekly, 7, "weekly_check", "WeeklyCheck", "/sheduler_weekly_check.html",
     "/sheduler_weekly.html"},
    {"monthly", kScheduleCodeMonthly, 30, "monthly_check", "MonthlyCheck",
     "/sheduler_monthly_check.html", "/sheduler_monthly.html"},
    {"bootup", kScheduleCodeBootUp, 0, "bootup_check", "BootupCheck", "/sheduler_bootup_check.html",
     "/sheduler_bootup.html"},
};

std::string ReadRun() {
  RegistryString run(HKEY_LOCAL_MACHINE, kEraseKey, kScheduleRunValue, "manually");
  run.SetReadOnly(true);
  return run.value;
}

int PeriodOf(std::string_view kind) {
  for (const ScheduleKind& k : kKinds) {
    if (EqualsNoCase(kind, k.kind)) return k.periodDays;
  }
  return 0;
}

// "Last" as a number the way atoi reads it: leading digits, anything else (as "Never") 0. A
// number too large for the minute counter is clamped rather than wrapped.
std::int64_t MinuteOf(const std::string& text) {
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str()) return 0;
  return value;
}

}  // namespace

std::int64_t LocalMinuteNow() {
  // Local time as if it were UTC, then shifted from 1970 to 1601 (11644473600 seconds).
  const std::time_t now = std::time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);
  const std::int64_t localSeconds = static_cast<std::int64_t>(now) + local.tm_gmtoff;
  return (localSeconds + 11644473600LL) / 60;
}

int ScheduleCodeOfClick(std::string_view cid) {
  for (const ScheduleKind& k : kKinds) {
    if (cid == k.cid) return k.code;
  }
  return -1;
}

ScheduleTimer::ScheduleTimer(MinuteClock clock) : clock_(std::move(clock)) {
  Reschedule();
}

void ScheduleTimer::ApplySchedule(int code) {
  for (const ScheduleKind& k : kKinds) {
    if (k.code != code) continue;
    RegistryString run(HKEY_LOCAL_MACHINE, kEraseKey, kScheduleRunValue, "manually");
    run.value = k.kind;
    run.type = REG_SZ;
    run.Write();
    run.SetReadOnly(true);
  }
  rescheduling_ = true;
  Reschedule();
  rescheduling_ = false;
}

void ScheduleTimer::Reschedule() {
  RegistryString last(HKEY_LOCAL_MACHINE, kEraseKey, kScheduleLastValue, "Never");
  last.SetReadOnly(true);
  lastMinute_ = MinuteOf(last.value);
  kind_ = ReadRun();
  periodDays_ = PeriodOf(kind_);
}

bool ScheduleTimer::OnScheduleTimer(const std::function<void()>& bringForward) {
  const std::int64_t now = clock_();
  if (prompting_ || rescheduling_) return false;
  kind_ = ReadRun();
  periodDays_ = PeriodOf(kind_);
  if (periodDays_ == 0 || now < lastMinute_ + std::int64_t{periodDays_} * 1440) return false;
  lastMinute_ = now;
  {
    RegistryString last(HKEY_LOCAL_MACHINE, kEraseKey, kScheduleLastValue, "Never");
    last.value = std::to_string(now);
    last.type = REG_SZ;
  }
  prompting_ = true;
  if (bringForward) bringForward();
  prompting_ = false;
  return true;
}

void ScheduleTimer::RenderScheduleChoice(dom::Document& document,
                                         std::string_view languageFolder) const {
  const std::string language(languageFolder);
  if (dom::Element table = document.GetElementById("Sheduler")) {
    table.SetInnerHtml(TemplateStore::Load("html/Common/sheduler_table.html"));
  }
  if (dom::Element title = document.GetElementById("ShedulerTitle")) {
    title.SetInnerHtml(TemplateStore::Load("html/" + language + "/sheduler_title.html"));
  }
  const std::string run = ReadRun();
  for (const ScheduleKind& k : kKinds) {
    dom::Element element = document.GetElementById(k.element);
    if (!element) continue;
    const bool selected =
        k.code == kScheduleCodeBootUp ? EqualsNoCase(kind_, k.kind) : EqualsNoCase(run, k.kind);
    std::string check = TemplateStore::Load(std::string("html/Common") + k.checkTemplate);
    TemplateStore::Fill(check, {{"#checked#", selected ? "checked" : ""}});
    element.SetInnerHtml(check + TemplateStore::Load("html/" + language + k.labelTemplate));
  }
}

bool ScheduleTimer::IsManualSchedule() const {
  return EqualsNoCase(kind_, "manually");
}
bool ScheduleTimer::IsBootupSchedule() const {
  return EqualsNoCase(kind_, "bootup");
}

}  // namespace corvane
