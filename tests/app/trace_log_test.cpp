#include "app/trace_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <regex>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "tests/support/scratch_folder.h"

namespace corvane {
namespace {

// "dd.MM.yyyy HH:mm:ss: ", 21 characters.
const std::string kPrefix = R"((\d\d)\.(\d\d)\.(\d{4}) (\d\d):(\d\d):(\d\d): )";

void TraceFormatted(const std::string& file, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
void TraceFormatted(const std::string& file, const char* format, ...) {
  va_list args;
  va_start(args, format);
  TraceToFile(file, format, args);
  va_end(args);
}

class TraceLogTest : public ::testing::Test {
 protected:
  // The log split at CR LF; what follows the last CR LF is the last element.
  std::vector<std::string> Lines() const {
    const std::string text = test::ScratchFolder::Read(log_);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
  }

  test::ScratchFolder scratch_;
  std::string log_ = scratch_ / kTraceLogFileName;
};

// The prefix as it should read for a moment, from the C library's own local time.
std::string PrefixAt(std::time_t moment) {
  std::tm local{};
  localtime_r(&moment, &local);
  char text[32];
  std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S: ", &local);
  return text;
}

TEST_F(TraceLogTest, EntryIsLocalDateAndTimeThenTheMessage) {
  const std::time_t before = std::time(nullptr);
  TraceToFile(log_, "Unable Drive List\n");
  const std::time_t after = std::time(nullptr);
  const std::string text = test::ScratchFolder::Read(log_);
  bool matched = false;  // the clock may tick between the calls
  for (std::time_t t = before; t <= after; ++t)
    matched |= text == PrefixAt(t) + "Unable Drive List\r\n";
  EXPECT_TRUE(matched) << text;
}

TEST_F(TraceLogTest, NewlinesBecomeCrLfAndUnterminatedEntriesShareALine) {
  TraceToFile(log_, "FindNextUrlCacheEntry: Unnable open Enumeration");
  TraceToFile(log_, "first\nsecond\n");
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(std::regex_match(
      lines[0],
      std::regex(kPrefix + "FindNextUrlCacheEntry: Unnable open Enumeration" + kPrefix + "first")))
      << lines[0];
  EXPECT_EQ(lines[1], "second");
  EXPECT_EQ(lines[2], "");
}

TEST_F(TraceLogTest, PercentSignsInComposedTextAreWrittenAsTheyAre) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(scratch_.Path());  // HalvikTrace writes to the current folder
  HalvikTrace(std::string("UpdateIECache: WaipFile Error file: C:\\100%s %n%d%%.txt\n"));
  HalvikTrace("OnClick(%s): %s\n", "btn_scan", "50%s");
  std::filesystem::current_path(previous);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(21), "UpdateIECache: WaipFile Error file: C:\\100%s %n%d%%.txt");
  EXPECT_EQ(lines[1].substr(21), "OnClick(btn_scan): 50%s");
}

TEST_F(TraceLogTest, UnopenableLogLosesTheEntryAndNothingElse) {
  // Tests may run as root, where permissions stop no write: make the open itself fail.
  std::filesystem::create_directory(scratch_ / "folder.log");
  const std::string fifo = scratch_ / "fifo.log";  // must neither block us nor get the entry
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& file :
       {scratch_ / "folder.log", fifo, scratch_ / "missing/x.log", log_}) {
    SetLastError(ERROR_SHARING_VIOLATION);
    errno = ENOSPC;
    TraceToFile(file, "UpdateNetscapeCookies: unable open file: x\n");
    TraceFormatted(file, "code %d\n", 5);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION) << file;
    EXPECT_EQ(errno, ENOSPC) << file;
  }
  EXPECT_TRUE(std::filesystem::is_empty(scratch_ / "folder.log"));
  EXPECT_EQ(Lines().size(), 3u);  // the lock was left each time, so the good log got both
}

TEST_F(TraceLogTest, DeletedLogIsCreatedAgain) {
  TraceToFile(log_, "one\n");
  std::filesystem::remove(log_);
  TraceToFile(log_, "two\n");
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(21), "two");
}

// One writer's entry: long enough that a split could not pass unnoticed.
std::string Body(char writer, int index) {
  return std::string(1, writer) + " " + std::to_string(index) + " " + std::string(300, writer);
}

void WriteEntries(const std::string& log, char writer) {
  for (int i = 0; i < 500; ++i) TraceToFile(log, Body(writer, i) + "\n");
}

// Every line is one whole entry, and each writer's entries come in its own order.
void ExpectWholeEntries(const std::vector<std::string>& lines, const std::string& writers) {
  ASSERT_EQ(lines.size(), writers.size() * 500 + 1);
  const std::regex entry(kPrefix + "([A-Z]) .*");
  std::vector<int> next(writers.size(), 0);
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, entry)) << "line " << i << ": " << lines[i];
    const std::size_t slot = writers.find(m[7].str()[0]);
    ASSERT_NE(slot, std::string::npos);
    ASSERT_EQ(lines[i].substr(21), Body(writers[slot], next[slot]++)) << "line " << i;
  }
}

TEST_F(TraceLogTest, EntriesFromTwoThreadsNeverInterleave) {
  std::thread a(WriteEntries, log_, 'A');
  std::thread b(WriteEntries, log_, 'B');
  a.join();
  b.join();
  ExpectWholeEntries(Lines(), "AB");
}

TEST_F(TraceLogTest, EntriesFromTwoProcessesNeverInterleave) {
  static_cast<void>(HalvikTraceSection());  // made before the fork: the child inherits it
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    WriteEntries(log_, 'C');
    ::_exit(0);
  }
  WriteEntries(log_, 'P');
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ExpectWholeEntries(Lines(), "CP");
}

TEST(CHalvikCriticalSectionTest, WithoutALockNothingWaits) {
  CHalvikCriticalSection unnamed("");
  EXPECT_FALSE(unnamed.IsOpen() || unnamed.Enter() || unnamed.Leave());
}

}  // namespace
}  // namespace corvane
