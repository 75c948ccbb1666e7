#include "app/trace_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "tests/support/scratch_folder.h"

namespace corvane {
namespace {

// The prefix every entry starts with: "dd.MM.yyyy HH:mm:ss: ".
const std::string kPrefix = R"((\d\d)\.(\d\d)\.(\d{4}) (\d\d):(\d\d):(\d\d): )";

// Reaches the va_list worker as HalvikTrace does.
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
  std::string Log() const { return test::ScratchFolder::Read(log_); }

  // The log split at CR LF; the text after the last CR LF is the last element.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    const std::string text = Log();
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

TEST_F(TraceLogTest, EntryIsLocalDateAndTimeThenTheMessage) {
  const std::time_t before = std::time(nullptr);
  TraceToFile(log_, "Unable Drive List\n");
  const std::time_t after = std::time(nullptr);

  std::smatch match;
  const std::string text = Log();
  ASSERT_TRUE(std::regex_match(text, match, std::regex(kPrefix + "Unable Drive List\r\n"))) << text;
  std::tm local{};
  local.tm_mday = std::stoi(match[1]);
  local.tm_mon = std::stoi(match[2]) - 1;
  local.tm_year = std::stoi(match[3]) - 1900;
  local.tm_hour = std::stoi(match[4]);
  local.tm_min = std::stoi(match[5]);
  local.tm_sec = std::stoi(match[6]);
  local.tm_isdst = -1;
  const std::time_t written = std::mktime(&local);
  // An hour of slack for a clock change between the call and mktime's guess at daylight time.
  EXPECT_GE(written, before - 3600);
  EXPECT_LE(written, after + 3600);
}

TEST_F(TraceLogTest, NewlinesBecomeCrLfAndUnterminatedEntriesShareALine) {
  TraceToFile(log_, "FindFirstUrlCacheEntry: Unnable to open Enumeration");
  TraceToFile(log_, "first\nsecond\n");
  TraceToFile(log_, "Error in ::SHEmptyRecycleBin");
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(std::regex_match(
      lines[0], std::regex(kPrefix + "FindFirstUrlCacheEntry: Unnable to open Enumeration" +
                           kPrefix + "first")))
      << lines[0];
  EXPECT_EQ(lines[1], "second");
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(kPrefix + "Error in ::SHEmptyRecycleBin")));
  const std::string text = Log();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);  // no bare LF anywhere
}

TEST_F(TraceLogTest, PercentSignsInComposedTextAreWrittenAsTheyAre) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(scratch_.Path());  // HalvikTrace writes to the current folder
  const std::string composed = "UpdateIECache: WaipFile Error file: C:\\100%s %n%d%%.txt\n";
  HalvikTrace(composed);
  HalvikTrace("OnClick(%s): %s\n", "btn_scan", "50%s");
  std::filesystem::current_path(previous);

  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(21), "UpdateIECache: WaipFile Error file: C:\\100%s %n%d%%.txt");
  EXPECT_EQ(lines[1].substr(21), "OnClick(btn_scan): 50%s");
  EXPECT_EQ(lines[2], "");
}

TEST_F(TraceLogTest, CallersLastErrorAndErrnoSurvive) {
  const std::string unopenable = scratch_ / "missing/CorvaneEraser.log";
  for (const std::string& file : {log_, unopenable}) {
    SetLastError(ERROR_SHARING_VIOLATION);
    errno = ENOSPC;
    TraceToFile(file, "UpdateNetscapeCookies: unable open file: x\n");
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION) << file;
    EXPECT_EQ(errno, ENOSPC) << file;
    TraceFormatted(file, "code %d\n", 5);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION) << file;
    EXPECT_EQ(errno, ENOSPC) << file;
  }
  EXPECT_EQ(Lines().size(), 3u);
}

TEST_F(TraceLogTest, UnopenableLogLosesTheEntryAndNothingElse) {
  // Tests may run as root, where permissions do not stop a write: make the open itself fail.
  const std::string directory = scratch_ / "is_a_folder.log";
  std::filesystem::create_directory(directory);
  TraceToFile(directory, "lost\n");
  EXPECT_TRUE(std::filesystem::is_empty(directory));

  const std::string underFile = scratch_.Write("plain", "data") + "/CorvaneEraser.log";
  TraceToFile(underFile, "lost\n");
  EXPECT_EQ(test::ScratchFolder::Read(scratch_ / "plain"), "data");

  // A FIFO under the log's name must neither block the writer nor receive the entry.
  const std::string fifo = scratch_ / "fifo.log";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TraceToFile(fifo, "lost\n");

  // The section was left: the next entry is written as usual.
  TraceToFile(log_, "Unable to retreive Drive List\n");
  EXPECT_EQ(Lines().size(), 2u);
}

TEST_F(TraceLogTest, DeletedLogIsCreatedAgain) {
  TraceToFile(log_, "one\n");
  std::filesystem::remove(log_);
  TraceToFile(log_, "two\n");
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(21), "two");
}

// The body written by one writer: long enough that a split entry could not pass unnoticed.
std::string Body(char writer, int index) {
  return std::string(1, writer) + " " + std::to_string(index) + " " + std::string(300, writer);
}

void WriteEntries(const std::string& log, char writer, int count) {
  for (int i = 0; i < count; ++i) TraceToFile(log, Body(writer, i) + "\n");
}

// Every line is one whole entry, and each writer's entries appear in its own order.
void ExpectWholeEntries(const std::vector<std::string>& lines, const std::string& writers,
                        int perWriter) {
  ASSERT_EQ(lines.size(), writers.size() * perWriter + 1);
  EXPECT_EQ(lines.back(), "");
  const std::regex entry(kPrefix + "([A-Z]) (\\d+) ([A-Z]+)");
  std::vector<int> next(writers.size(), 0);
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[i], match, entry)) << "line " << i << ": " << lines[i];
    const char writer = match[7].str()[0];
    const std::size_t slot = writers.find(writer);
    ASSERT_NE(slot, std::string::npos);
    ASSERT_EQ(lines[i].substr(21), Body(writer, next[slot])) << "line " << i;
    ++next[slot];
  }
}

TEST_F(TraceLogTest, EntriesFromTwoThreadsNeverInterleave) {
  std::thread a(WriteEntries, log_, 'A', 500);
  std::thread b(WriteEntries, log_, 'B', 500);
  a.join();
  b.join();
  ExpectWholeEntries(Lines(), "AB", 500);
}

TEST_F(TraceLogTest, EntriesFromTwoProcessesNeverInterleave) {
  // The section exists before the fork, so the child starts with the parent's copy of it.
  static_cast<void>(HalvikTraceSection());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    WriteEntries(log_, 'C', 500);
    ::_exit(0);
  }
  WriteEntries(log_, 'P', 500);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ExpectWholeEntries(Lines(), "CP", 500);
}

TEST(CHalvikCriticalSectionTest, OneHolderAcrossInstancesOfTheSameName) {
  const std::string name = "Global\\CHalvikCriticalSection_Test" + std::to_string(::getpid());
  CHalvikCriticalSection section(name);
  ASSERT_TRUE(section.IsOpen());
  NamedLock probe;
  ASSERT_TRUE(probe.Open(name));
  ASSERT_TRUE(section.Enter());
  EXPECT_FALSE(probe.TryLock());
  EXPECT_TRUE(section.Leave());
  EXPECT_FALSE(section.Leave());
  EXPECT_TRUE(probe.TryLock());
  EXPECT_TRUE(probe.Unlock());
  std::filesystem::remove(probe.Path());
}

TEST(CHalvikCriticalSectionTest, WithoutANameNothingWaits) {
  CHalvikCriticalSection section("");
  EXPECT_FALSE(section.IsOpen());
  EXPECT_FALSE(section.Enter());
  EXPECT_FALSE(section.Leave());
  EXPECT_FALSE(section.Open(std::string(300, 'x')));
}

}  // namespace
}  // namespace corvane
