#include "app/trace_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/file_problems.h"
#include "platform/last_error.h"

namespace corvane {

namespace {

// "dd.MM.yyyy HH:mm:ss: " in local time.
std::string EntryPrefix() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return {};
  char date[32];
  char time[32];
  std::strftime(date, sizeof date, "%d.%m.%Y", &local);
  std::strftime(time, sizeof time, "%H:%M:%S", &local);
  return std::string(date) + " " + time + ": ";
}

// Writes the whole entry in as few writes as the kernel allows: with O_APPEND one write lands as
// one piece, so even a writer that skips the lock cannot split the entry.
void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // the rest of the entry is lost, as a full disk loses it
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void AppendEntry(const std::string& fileName, std::string_view text) {
  // Non-blocking open, so a FIFO planted under the log's name cannot hang the writer; only a
  // regular file gets the entry.
  const int fd =
      ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    std::string entry = EntryPrefix();
    entry.reserve(entry.size() + text.size() + 8);
    for (const char c : text) {
      if (c == '\n') entry += '\r';  // the log is a Windows text file
      entry += c;
    }
    WriteAll(fd, entry);
  }
  ::close(fd);
}

}  // namespace

CHalvikCriticalSection::CHalvikCriticalSection(std::string_view name) {
  static_cast<void>(CHalvikCriticalSection::Open(name));
}

CHalvikCriticalSection::~CHalvikCriticalSection() = default;

bool CHalvikCriticalSection::Open(std::string_view name) {
  return lock_.Open(name);
}

bool CHalvikCriticalSection::Enter() {
  return lock_.Lock();
}

bool CHalvikCriticalSection::Leave() {
  return lock_.Unlock();
}

CHalvikCriticalSection& HalvikTraceSection() {
  static CHalvikCriticalSection section(kTraceSectionName);
  return section;
}

void TraceToFile(const std::string& fileName, std::string_view text) {
  // Saved before the section is entered: a failing lock sets the last error too.
  const DWORD lastError = GetLastError();
  const int savedErrno = errno;
  CHalvikCriticalSection& section = HalvikTraceSection();
  // Without a section the entry is still written, only unserialised.
  const bool entered = section.Enter();
  AppendEntry(fileName, text);
  if (entered) static_cast<void>(section.Leave());
  SetLastError(lastError);
  errno = savedErrno;
}

void TraceToFile(const std::string& fileName, const char* format, va_list args) {
  const DWORD lastError = GetLastError();
  const int savedErrno = errno;
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length >= 0) {
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.pop_back();
    TraceToFile(fileName, text);
  }
  SetLastError(lastError);
  errno = savedErrno;
}

void HalvikTrace(std::string_view text) {
  TraceToFile(kTraceLogFileName, text);
}

void HalvikTrace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  TraceToFile(kTraceLogFileName, format, args);
  va_end(args);
}

void TraceFileProblems() {
  SetFileProblemReporter([](const std::string& problem) { HalvikTrace(problem + "\n"); });
}

}  // namespace corvane
