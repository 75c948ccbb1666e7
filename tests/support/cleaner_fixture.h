#pragma once
// What the built-in cleaners' tests share: a program folder holding the installed pages, a
// window that hears the workers' completion messages, and a scan or erase run to its end.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "engine/plugin.h"
#include "engine/plugin_owner.h"
#include "platform/event.h"
#include "platform/event_loop.h"
#include "platform/program_folder.h"
#include "platform/window_messages.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_plugin_owner.h"

namespace corvane::test {

// Keeps the result of every scan and erase a worker reports.
class CompletionWindow : public MessageWindow {
 public:
  using MessageWindow::MessageWindow;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP_PLUGIN_SCANNED || message == WM_APP_PLUGIN_ERASED) {
      static_cast<void>(TakeRecord<PluginId>(wParam));
      results.push_back(static_cast<PluginResult>(lParam));
    }
    return 0;
  }
  std::vector<PluginResult> results;
};

// A fixture for one cleaner of type `PluginType`, which the test makes into plugin_.
template <typename PluginType>
class CleanerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(program_.Path().string());
    std::filesystem::copy(std::filesystem::path(CORVANE_SOURCE_DIR) / "data" / "html",
                          program_.Path() / "html", std::filesystem::copy_options::recursive);
    owner_.window = window_.Handle();
  }
  void TearDown() override { SetProgramFolder(""); }

  // Runs a scan (or an erase) on the worker and answers its result.
  PluginResult Run(bool scan) {
    scan ? plugin_->StartScan(&cancel_) : plugin_->StartErase(&cancel_);
    const std::size_t count = window_.results.size() + 1;
    EXPECT_TRUE(
        loop_.RunUntil([&] { return window_.results.size() >= count; }, std::chrono::seconds(60)));
    return window_.results.empty() ? PluginResult::Failed : window_.results.back();
  }
  PluginType& Plugin() { return static_cast<PluginType&>(*plugin_); }

  ScratchFolder program_;
  QueueEventLoop loop_;
  CompletionWindow window_{loop_};
  TestOwner owner_;
  Event cancel_;
  PluginPtr plugin_;
};

}  // namespace corvane::test
