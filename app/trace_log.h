#pragma once
// The trace log: one dated entry per click and per failure the user cannot see, appended to
// "CorvaneEraser.log" in the current directory (the program folder) for support. Writers in every
// thread of every process of the user are serialised by one system-wide lock.

#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/named_lock.h"

namespace corvane {

// The trace log's file name, relative to the current directory.
inline constexpr char kTraceLogFileName[] = "CorvaneEraser.log";
// The name of the lock every writer of the trace log shares.
inline constexpr char kTraceSectionName[] = "Global\\CHalvikCriticalSection_HalvikTrace";

// A critical section shared by all threads and processes that open the same name; one holder at
// a time, and any thread may leave it.
class CHalvikCriticalSection {
 public:
  // Opens the named section; IsOpen() tells whether that worked.
  explicit CHalvikCriticalSection(std::string_view name);
  virtual ~CHalvikCriticalSection();
  CHalvikCriticalSection(const CHalvikCriticalSection&) = delete;
  CHalvikCriticalSection& operator=(const CHalvikCriticalSection&) = delete;

  // Opens (creating when needed) the section of this name; whether it is now held open.
  [[nodiscard]] virtual bool Open(std::string_view name);
  // Waits without a time-out until the section is ours; false at once when it is not open.
  [[nodiscard]] virtual bool Enter();
  // Leaves the section; false when it is not open or not entered.
  [[nodiscard]] virtual bool Leave();

  [[nodiscard]] bool IsOpen() const { return lock_.IsOpen(); }

 private:
  NamedLock lock_;
};

// The one section of the trace log, made on first use and kept to process exit.
[[nodiscard]] CHalvikCriticalSection& HalvikTraceSection();

// Appends one entry to the trace log: "dd.MM.yyyy HH:mm:ss: " and the text, every "\n" written as
// CR LF. The entry ends where the text ends, so text without a final "\n" leaves the next entry on
// the same line. Use this for composed text: a "%" in it is written as it is.
void HalvikTrace(std::string_view text);
// As above with printf formatting, for fixed formats only.
void HalvikTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sends the file services' problems (a path refused for a link on its way, a file not
// overwritten for its other hard links, a folder that could not be read) to the trace log, one
// entry each. Called at start-up.
void TraceFileProblems();

// The workers behind HalvikTrace, for any file. A file that cannot be opened loses the entry and
// nothing else happens; the caller's last-error code and errno are unchanged in every case.
void TraceToFile(const std::string& fileName, std::string_view text);
void TraceToFile(const std::string& fileName, const char* format, va_list args)
    __attribute__((format(printf, 2, 0)));

}  // namespace corvane
