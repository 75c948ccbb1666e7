#include "engine/progress_reporter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>
#include "tests/support/test_plugin_owner.h"

namespace corvane {
namespace {

constexpr std::chrono::seconds kPatience{60};

class ProgressWindow : public MessageWindow {
 public:
  using MessageWindow::MessageWindow;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM) override {
    if (message == WM_APP_PROGRESS) records.push_back(*TakeRecord<ProgressRecord>(wParam));
    return 0;
  }
  std::vector<ProgressRecord> records;
};

class ProgressReporterTest : public ::testing::Test {
 protected:
  void SetUp() override { owner_.window = window_.Handle(); }
  void WaitFor(std::size_t count) {
    ASSERT_TRUE(loop_.RunUntil([&] { return window_.records.size() >= count; }, kPatience));
  }

  QueueEventLoop loop_;
  ProgressWindow window_{loop_};
  test::TestOwner owner_;
  Event cancel_;
};

TEST_F(ProgressReporterTest, ReportsPostThePageFollowedByTheTextFromAWorker) {
  ProgressReporter reporter(owner_, "BrowserCache", "<b>Scanning</b>", &cancel_);
  std::thread worker([&] {
    EXPECT_TRUE(reporter.Report("."));
    EXPECT_TRUE(reporter.Report("..", 2, 7));
  });
  worker.join();
  WaitFor(2);
  ASSERT_EQ(window_.records.size(), 2u);
  EXPECT_EQ(window_.records[0].pluginId, "BrowserCache");
  EXPECT_EQ(window_.records[0].message, "<b>Scanning</b>.");
  EXPECT_EQ(window_.records[0].step, kNoStep);
  EXPECT_EQ(window_.records[0].stepCount, kNoStep);
  EXPECT_EQ(window_.records[1].message, "<b>Scanning</b>..");
  EXPECT_EQ(window_.records[1].step, 2);
  EXPECT_EQ(window_.records[1].stepCount, 7);
}

TEST_F(ProgressReporterTest, WithoutAWindowNothingIsPostedAndReportStillAnswersTrue) {
  owner_.window = 0;
  ProgressReporter reporter(owner_, "X", "page", &cancel_);
  EXPECT_TRUE(reporter.Report("."));
  loop_.RunPending();
  EXPECT_TRUE(window_.records.empty());
}

TEST_F(ProgressReporterTest, AThrottleDropsReportsThatFollowTooSoon) {
  // An hour: every report after the first falls inside it, however slow the machine.
  ProgressReporter reporter(owner_, "X", "p", &cancel_, std::chrono::hours(1));
  for (int i = 0; i < 50; ++i) EXPECT_TRUE(reporter.Report("."));
  WaitFor(1);
  loop_.RunPending();
  EXPECT_EQ(window_.records.size(), 1u);
}

TEST_F(ProgressReporterTest, CancellationIsTheEventsStateAndNoEventNeverCancels) {
  ProgressReporter reporter(owner_, "X", "p", &cancel_);
  const CancelCheck check = reporter.AsCancelCheck();
  EXPECT_FALSE(reporter.IsCancelled());
  EXPECT_FALSE(check());
  cancel_.Set();
  EXPECT_TRUE(reporter.IsCancelled());
  EXPECT_TRUE(check());
  EXPECT_TRUE(reporter.IsCancelled());  // asking does not reset a manual-reset event
  cancel_.Reset();
  EXPECT_FALSE(check());

  ProgressReporter without(owner_, "X", "p", nullptr);
  EXPECT_FALSE(without.IsCancelled());
}

}  // namespace
}  // namespace corvane
