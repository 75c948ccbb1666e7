// The main window on the desktop host, under a private X server: a user clicks through a scan and
// an erase with two fake plug-ins, and every page state is captured as a picture
// (build/tests/screenshots/) for a person to look at.

#include "ui/erase_main_dlg.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <filesystem>
#include <fstream>

#include "host/gtk/gtk_host.h"
#include "host/gtk/gtk_host_window.h"
#include "platform/program_folder.h"
#include "tests/host/gtk/gui_wait.h"
#include "tests/support/fake_plugin.h"
#include "tests/support/runtime_folder.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/temp_machine.h"
#include "tests/support/xvfb_display.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::FakePlugin;
using testing::RunUntil;

class MainWindowGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::XvfbDisplay::Shared().Running()) GTEST_SKIP() << "Xvfb could not start";
    SetProgramFolder(CORVANE_PROGRAM_DIR);
    previousDirectory_ = fs::current_path();
    fs::current_path(work_.Path());  // the trace log goes here, never into a source folder
    // The main window's remembered size lives here, never in the user's own configuration.
    ::setenv("XDG_CONFIG_HOME", (work_.Path() / "config").c_str(), 1);
    host_ = GtkHost::Create(CORVANE_PROGRAM_DIR);
    if (!host_) GTEST_SKIP() << "GTK cannot open the display";
    shots_ = fs::path(CORVANE_PROGRAM_DIR).parent_path() / "tests" / "screenshots";
    fs::create_directories(shots_);
  }
  void TearDown() override {
    dialog_.reset();
    host_.reset();
    if (!previousDirectory_.empty()) fs::current_path(previousDirectory_);
    SetProgramFolder("");
    ::unsetenv("XDG_CONFIG_HOME");
  }

  void Open() {
    for (const char* id : {"BrowserCache", "RecentUsed"}) {
      const fs::path folder = work_.Path() / id;
      fs::create_directories(folder);
      for (const char* file : {"index.dat", "f_000123.tmp", "Report 2024 (final).doc.lnk"}) {
        std::ofstream(folder / file) << std::string(700 + std::string(file).size() * 93, 'x');
      }
    }
    dialog_ = std::make_unique<CEraseMainDlg>(
        *host_, CommandLine{}, [] { return std::string("dialy"); },
        [this](PluginOwner& owner) {
          PluginList list;
          for (const char* id : {"BrowserCache", "RecentUsed"}) {
            auto plugin = MakePlugin<FakePlugin>(owner, id, work_.Path() / id);
            fakes_.push_back(static_cast<FakePlugin*>(plugin.get()));
            list.PushBack(std::move(plugin));
          }
          return list;
        });
    dialog_->CreateModeless();
    ASSERT_TRUE(RunUntil([&] { return dialog_->Window()->IsVisible(); }));
  }

  [[nodiscard]] GtkHostWindow& Window() const {
    return dynamic_cast<GtkHostWindow&>(*dialog_->Window());
  }

  std::string Eval(const std::string& script) {
    struct Result {
      bool done = false;
      std::string text;
    } result;
    webkit_web_view_evaluate_javascript(
        Window().View(), script.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* view, GAsyncResult* async, gpointer data) {
          auto* result = static_cast<Result*>(data);
          JSCValue* value =
              webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), async, nullptr);
          if (value != nullptr) {
            gchar* text = jsc_value_to_string(value);
            result->text = text;
            g_free(text);
            g_object_unref(value);
          }
          result->done = true;
        },
        &result);
    EXPECT_TRUE(RunUntil([&] { return result.done; }));
    return result.text;
  }

  // A user's click on the element with this "cid", as the view reports it.
  void Click(const std::string& cid) {
    Eval("document.querySelector('[cid=\"" + cid + "\"]').click()");
  }
  bool WaitForState(PageState state) {
    return RunUntil([&] { return dialog_->Controller().State() == state; });
  }

  // The view as it is drawn now, written to screenshots/<name>.png.
  void Shot(const std::string& name, int width = 900, int height = 640) {
    dialog_->FlushChanges();
    // A round trip through the view: the changes sent before it have been applied.
    EXPECT_EQ(Eval("document.readyState"), "complete");
    struct Result {
      bool done = false;
      cairo_surface_t* surface = nullptr;
    } result;
    webkit_web_view_get_snapshot(
        Window().View(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* view, GAsyncResult* async, gpointer data) {
          auto* result = static_cast<Result*>(data);
          result->surface =
              webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(view), async, nullptr);
          result->done = true;
        },
        &result);
    ASSERT_TRUE(RunUntil([&] { return result.done; }));
    ASSERT_NE(result.surface, nullptr) << name;
    EXPECT_EQ(cairo_image_surface_get_width(result.surface), width) << name;
    EXPECT_EQ(cairo_image_surface_get_height(result.surface), height) << name;
    const std::string file = (shots_ / (name + ".png")).string();
    EXPECT_EQ(cairo_surface_write_to_png(result.surface, file.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(result.surface);
  }

  // What the page shows of an element, read from the view.
  std::string ViewText(const std::string& selector) {
    return Eval("(document.querySelector('" + selector + "') || {}).innerText || ''");
  }

  TempMachine machine_;
  ScopedRuntimeFolder runtime_;
  test::ScratchFolder work_;
  fs::path previousDirectory_;
  std::unique_ptr<GtkHost> host_;
  std::vector<FakePlugin*> fakes_;
  std::unique_ptr<CEraseMainDlg> dialog_;
  fs::path shots_;
};

TEST_F(MainWindowGuiTest, TheWindowResizesNoSmallerThanItsPageAndRemembersItsSize) {
  Open();
  GtkWindow* window = Window().Window();
  EXPECT_TRUE(gtk_window_get_resizable(window));
  const auto pageWidth = [&] { return Eval("String(window.innerWidth)"); };
  const auto pageHeight = [&] { return Eval("String(window.innerHeight)"); };
  ASSERT_TRUE(RunUntil([&] { return pageWidth() == "900"; }));
  // Bigger: the page fills the window.
  gtk_window_resize(window, 1400, 1000);
  ASSERT_TRUE(RunUntil([&] { return pageWidth() == "1400" && pageHeight() == "1000"; }))
      << pageWidth() << "x" << pageHeight();
  EXPECT_EQ(Eval("String(document.getElementById('DlgBody').scrollHeight <= 1000)"), "true");
  Shot("1-welcome-1400x1000", 1400, 1000);
  // Smaller than the page was made for: the window stops at that size.
  gtk_window_resize(window, 500, 300);
  ASSERT_TRUE(RunUntil([&] {
    int width = 0;
    int height = 0;
    gtk_window_get_size(window, &width, &height);
    return width == 900 && height == 640;
  }));
  gtk_window_resize(window, 1200, 800);
  ASSERT_TRUE(RunUntil([&] { return pageWidth() == "1200"; }));
  dialog_.reset();
  EXPECT_EQ(ReadHostFile(work_.Path() / "config" / "corvane-erase" / "main.size"), "1200 800\n");
  // The next window opens at the size it was left at.
  fakes_.clear();
  Open();
  ASSERT_TRUE(RunUntil([&] { return pageWidth() == "1200" && pageHeight() == "800"; }))
      << pageWidth() << "x" << pageHeight();
}

TEST_F(MainWindowGuiTest, TheStartPageFocusesScanAndARenderKeepsTheFocusedControl) {
  Open();
  const auto focused = [&] {
    return Eval(
        "(document.activeElement.getAttribute('cid') || '') + '/' + "
        "(document.activeElement.getAttribute('pluginid') || '')");
  };
  ASSERT_TRUE(RunUntil([&] { return focused() == "btn_scan/"; })) << focused();
  Click("btn_scan");
  ASSERT_TRUE(WaitForState(PageState::ScanResults));
  Click("btn_skipall");
  ASSERT_TRUE(WaitForState(PageState::Settings));
  // Ticking a cleaner draws the list anew; the box the user is on keeps the focus.
  Eval("document.querySelector('[cid=check][pluginid=RecentUsed]').focus()");
  Click("check");  // the first box: BrowserCache
  Eval("document.querySelector('[cid=check][pluginid=RecentUsed]').focus()");
  Eval("document.activeElement.click()");
  ASSERT_TRUE(RunUntil([&] { return !fakes_[1]->IsEnabled(); }));
  ASSERT_TRUE(RunUntil([&] { return focused() == "check/RecentUsed"; })) << focused();
}

TEST_F(MainWindowGuiTest, ClickingThroughAScanAndAnErase) {
  Open();
  ASSERT_EQ(dialog_->Controller().State(), PageState::Welcome);
  EXPECT_EQ(ViewText("#ScanNowButton"), "Scan now");
  Shot("1-welcome");

  fakes_[1]->release.Reset();  // the second plug-in waits, so the run can be seen at work
  Click("btn_scan");
  ASSERT_TRUE(WaitForState(PageState::Scan));
  ASSERT_TRUE(RunUntil([&] { return fakes_[1]->held.IsSet(); }));
  dialog_->Controller().ShowProgress(
      {"RecentUsed", "Looking at <span class=\"path\">C:\\users\\ann\\Recent</span>", 2, 5});
  EXPECT_EQ(ViewText("#ProcessTableRowStatus_BrowserCache"), "Done");
  Shot("2-scan");
  fakes_[1]->release.Set();
  ASSERT_TRUE(WaitForState(PageState::ScanResults));
  EXPECT_EQ(ViewText("#TitleText"), "Browser cache");
  Shot("3-scan-results");
  Click("btn_settings");
  ASSERT_TRUE(
      RunUntil([&] { return ViewText("#TitleText") == "Recent documents of Windows and Office"; }));
  Shot("4-scan-results-second");
  Click("btn_settings");
  ASSERT_TRUE(WaitForState(PageState::Settings));
  Shot("5-settings");

  fakes_[0]->release.Reset();  // waits after its first file
  // The question is a modal box of the desktop; its flow is tested headless.
  dialog_->Controller().Options().Section("")[std::string(kOptionNoEraseQuestion)] = "1";
  Click("btn_clean");
  ASSERT_TRUE(WaitForState(PageState::Erase));
  ASSERT_TRUE(RunUntil([&] { return fakes_[0]->held.IsSet(); }));
  Shot("6-erase");
  fakes_[0]->release.Set();
  ASSERT_TRUE(WaitForState(PageState::EraseResults));
  Shot("7-erase-results");
  Click("btn_finish");
  ASSERT_TRUE(WaitForState(PageState::Welcome));
  EXPECT_EQ(fakes_[0]->CopyCounters().erasedTotal.items, 3U);
  EXPECT_EQ(fakes_[1]->CopyCounters().erasedTotal.items, 3U);
  EXPECT_TRUE(fs::exists(work_.Path() / "CorvaneEraser.log"));

  // The same pages in the dark theme.
  g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", TRUE, nullptr);
  Shot("8-welcome-dark");
  Click("btn_scan");
  ASSERT_TRUE(WaitForState(PageState::ScanResults));
  Shot("9-scan-results-dark");
}

}  // namespace
}  // namespace corvane
