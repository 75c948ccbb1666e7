#include "host/gtk/gtk_host.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <csignal>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/host/gtk/gui_wait.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xvfb_display.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::RunUntil;
using testing::XvfbDisplay;

class GtkHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbDisplay::Shared().Running()) GTEST_SKIP() << "Xvfb could not start";
    host_ = GtkHost::Create(root_);
    if (!host_) GTEST_SKIP() << "GTK cannot open the display";
  }
  void TearDown() override { host_.reset(); }

  // The message box on screen, once there is one.
  static GtkMessageDialog* OpenBox() {
    GList* windows = gtk_window_list_toplevels();
    GtkMessageDialog* box = nullptr;
    for (GList* w = windows; w != nullptr; w = w->next) {
      if (GTK_IS_MESSAGE_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data))) {
        box = GTK_MESSAGE_DIALOG(w->data);
      }
    }
    g_list_free(windows);
    return box;
  }

  struct Seen {
    std::string title;
    std::string text;
    GtkMessageType icon = GTK_MESSAGE_OTHER;
  };

  // Shows a box and, once it is on screen, records it and `answer`s it (a response id, or
  // closes it when `answer` is GTK_RESPONSE_DELETE_EVENT).
  int AnswerBox(const std::string& text, const std::string& caption, unsigned style, int answer,
                Seen& seen) {
    host_->Loop().SetTimer(1, std::chrono::milliseconds(10), [&seen, answer, this] {
      GtkMessageDialog* box = OpenBox();
      if (box == nullptr) return;
      host_->Loop().KillTimer(1);
      seen.title = gtk_window_get_title(GTK_WINDOW(box));
      gchar* shown = nullptr;
      g_object_get(box, "text", &shown, "message-type", &seen.icon, nullptr);
      seen.text = shown;
      g_free(shown);
      if (answer == GTK_RESPONSE_DELETE_EVENT) {
        gtk_window_close(GTK_WINDOW(box));
      } else {
        gtk_dialog_response(GTK_DIALOG(box), answer);
      }
    });
    return host_->MessageBox(nullptr, text, caption, style);
  }

  TempDir dir_;
  const fs::path& root_ = dir_.Path();
  std::unique_ptr<GtkHost> host_;
};

TEST_F(GtkHostTest, MessageBoxShowsCaptionTextAndIconAndAnswersTheButton) {
  Seen seen;
  EXPECT_EQ(AnswerBox("Erase 3 files?\n%s <b>not markup</b>", "Corvane Erase",
                      MB_YESNO | MB_ICONQUESTION, GTK_RESPONSE_YES, seen),
            IDYES);
  EXPECT_EQ(seen.title, "Corvane Erase");
  EXPECT_EQ(seen.text, "Erase 3 files?\n%s <b>not markup</b>");
  EXPECT_EQ(seen.icon, GTK_MESSAGE_QUESTION);

  EXPECT_EQ(AnswerBox("t", "c", MB_YESNOCANCEL | MB_ICONEXCLAMATION, GTK_RESPONSE_NO, seen), IDNO);
  EXPECT_EQ(seen.icon, GTK_MESSAGE_WARNING);
  EXPECT_EQ(AnswerBox("t", "c", MB_OKCANCEL | MB_ICONERROR, GTK_RESPONSE_OK, seen), IDOK);
  EXPECT_EQ(seen.icon, GTK_MESSAGE_ERROR);
  EXPECT_EQ(AnswerBox("t", "c", MB_OK | MB_ICONINFORMATION, GTK_RESPONSE_OK, seen), IDOK);
  EXPECT_EQ(seen.icon, GTK_MESSAGE_INFO);
}

TEST_F(GtkHostTest, ClosingAMessageBoxAnswersLikeTheWindowsBox) {
  Seen seen;
  EXPECT_EQ(AnswerBox("t", "c", MB_YESNO, GTK_RESPONSE_DELETE_EVENT, seen), IDNO);
  EXPECT_EQ(AnswerBox("t", "c", MB_OKCANCEL, GTK_RESPONSE_DELETE_EVENT, seen), IDCANCEL);
  EXPECT_EQ(AnswerBox("t", "c", MB_YESNOCANCEL, GTK_RESPONSE_DELETE_EVENT, seen), IDCANCEL);
  EXPECT_EQ(AnswerBox("t", "c", MB_OK, GTK_RESPONSE_DELETE_EVENT, seen), IDOK);
  EXPECT_EQ(OpenBox(), nullptr);  // each box is gone once answered
}

TEST_F(GtkHostTest, OpenExternalPassesTheTargetAsOneArgumentWithoutAShell) {
  // A stand-in xdg-open first on PATH records the arguments it was given.
  const fs::path bin = root_ / "bin";
  fs::create_directories(bin);
  const fs::path record = root_ / "args";
  {
    std::ofstream script(bin / "xdg-open");
    script << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" << record.string() << ".tmp\"\nmv \""
           << record.string() << ".tmp\" \"" << record.string() << "\"\n";
  }
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  const std::string oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);

  const std::string target = "C:\\a b;$(touch " + (root_ / "pwned").string() + ")'\"";
  const bool started = host_->OpenExternal(target);
  EXPECT_FALSE(host_->OpenExternal("--help"));
  EXPECT_FALSE(host_->OpenExternal(""));
  setenv("PATH", oldPath.c_str(), 1);
  ASSERT_TRUE(started);
  ASSERT_TRUE(RunUntil([&] { return fs::exists(record); }));
  std::stringstream args;
  args << std::ifstream(record).rdbuf();
  EXPECT_EQ(args.str(), "1\n" + target + "\n");
  EXPECT_FALSE(fs::exists(root_ / "pwned"));
}

}  // namespace
}  // namespace corvane
