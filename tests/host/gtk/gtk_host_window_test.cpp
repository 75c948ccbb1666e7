#include "host/gtk/gtk_host_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/gtk/gtk_host.h"
#include "tests/host/gtk/gui_wait.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xvfb_display.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::RunUntil;
using testing::XvfbDisplay;

struct Recorder : HostWindowEvents {
  void OnDocumentComplete() override { ++documents; }
  void OnViewInput(const ViewInput& input) override { inputs.push_back(input); }
  void OnCancel() override { ++cancels; }
  bool Has(ViewInput::Kind kind, std::uint64_t node) const {
    return std::any_of(inputs.begin(), inputs.end(),
                       [&](const ViewInput& in) { return in.kind == kind && in.node == node; });
  }
  const ViewInput* Find(ViewInput::Kind kind, std::uint64_t node) const {
    for (const ViewInput& in : inputs) {
      if (in.kind == kind && in.node == node) return &in;
    }
    return nullptr;
  }
  int documents = 0;
  int cancels = 0;
  std::vector<ViewInput> inputs;
};

constexpr const char* kPage = R"(<!DOCTYPE html><html data-n="1"><head data-n="2">
<title data-n="3">page</title></head><body data-n="4">
<div id="area" data-n="10">old</div>
<div id="scroll" data-n="11" style="height:40px;overflow:auto"><div data-n="12" style="height:400px">tall</div></div>
<table id="t" data-n="20"><tbody data-n="21"><tr data-n="22"><td>a</td></tr><tr data-n="23"><td>b</td></tr><tr data-n="24"><td>c</td></tr></tbody></table>
<input type="checkbox" id="cb" data-n="30" value="on1"><input type="text" id="tx" data-n="31" class="wide">
<div id="cmd" data-n="40" tabindex="0" cid="btn_scan"><span id="inner">Scan</span></div>
<a id="link" data-n="41" href="http://example.com/">web</a>
<button id="btn" data-n="42" value="b1">B</button>
<div id="plain" data-n="43" cid="btn_help">no tab index of its own</div>
</body></html>)";

class GtkHostWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbDisplay::Shared().Running()) GTEST_SKIP() << "Xvfb could not start";
    fs::create_directories(root_ / "html" / "Common");
    host_ = GtkHost::Create(root_);
    if (!host_) GTEST_SKIP() << "GTK cannot open the display";
  }
  void TearDown() override {
    windows_.clear();
    host_.reset();
  }

  GtkHostWindow& NewWindow(Recorder& events, HostWindow* parent = nullptr) {
    windows_.push_back(host_->CreateWindow(events, parent));
    return dynamic_cast<GtkHostWindow&>(*windows_.back());
  }

  std::string PageUrl(const std::string& name) const {
    return "file://" + (root_ / "html" / "Common" / name).string();
  }

  // Loads `html` as the page `name` of the program folder and waits for document-complete.
  void Load(GtkHostWindow& window, Recorder& events, const std::string& html,
            const std::string& name = "page.html") {
    std::ofstream(root_ / "html" / "Common" / name) << html;
    const int before = events.documents;
    window.Navigate(PageUrl(name), html);
    ASSERT_TRUE(RunUntil([&] { return events.documents > before; }));
  }

  // Runs `script` in the page's own world and answers its result as text.
  static std::string Eval(GtkHostWindow& window, const std::string& script) {
    struct Result {
      bool done = false;
      std::string text;
    } result;
    webkit_web_view_evaluate_javascript(
        window.View(), script.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* view, GAsyncResult* async, gpointer data) {
          auto* result = static_cast<Result*>(data);
          GError* error = nullptr;
          JSCValue* value =
              webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), async, &error);
          if (value != nullptr) {
            gchar* text = jsc_value_to_string(value);
            result->text = text;
            g_free(text);
            g_object_unref(value);
          } else {
            result->text = std::string("error: ") + error->message;
            g_error_free(error);
          }
          result->done = true;
        },
        &result);
    EXPECT_TRUE(RunUntil([&] { return result.done; }));
    return result.text;
  }

  static void SendKey(GtkWidget* widget, guint keyval) {
    GdkDisplay* display = gtk_widget_get_display(widget);
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count);
    for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
      GdkEvent* event = gdk_event_new(type);
      event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
      event->key.send_event = TRUE;
      event->key.time = GDK_CURRENT_TIME;
      event->key.keyval = keyval;
      event->key.hardware_keycode = count > 0 ? static_cast<guint16>(keys[0].keycode) : 0;
      gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
      gtk_main_do_event(event);
      gdk_event_free(event);
    }
    g_free(keys);
  }

  static void ShowAndFocus(GtkHostWindow& window) {
    window.SetSizeAndCenter(640, 480);
    window.Show();
    ASSERT_TRUE(RunUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(window.View())); }));
    gtk_window_present(window.Window());
    gtk_widget_grab_focus(GTK_WIDGET(window.View()));
  }

  TempDir dir_;
  const fs::path& root_ = dir_.Path();
  std::unique_ptr<GtkHost> host_;
  std::vector<std::unique_ptr<HostWindow>> windows_;
};

TEST_F(GtkHostWindowTest, ShowsTheGivenPageWithScriptsForbidden) {
  Recorder events;
  GtkHostWindow& window = NewWindow(events);
  Load(window, events, kPage);
  EXPECT_EQ(events.documents, 1);
  EXPECT_EQ(Eval(window, "document.getElementById('area').textContent"), "old");
  EXPECT_EQ(Eval(window, "document.querySelector('meta').httpEquiv"), "Content-Security-Policy");
  EXPECT_EQ(Eval(window, "location.href"), PageUrl("page.html"));
  // Inline styles still apply under the policy.
  EXPECT_EQ(Eval(window, "getComputedStyle(document.getElementById('scroll')).height"), "40px");

  Load(window, events,
       "<!DOCTYPE html><html><head><title>quiet</title>"
       "<script>document.title = 'inline';</script></head>"
       "<body onload=\"document.title = 'onload'\">"
       "<img src=\"data:,\" onerror=\"document.title = 'handler'\">"
       "<a id=a href=\"javascript:document.title='link'\">x</a></body></html>",
       "scripted.html");
  EXPECT_EQ(Eval(window, "document.getElementById('a').click(); document.title"), "quiet");
  EXPECT_EQ(Eval(window, "document.title"), "quiet");
}

TEST_F(GtkHostWindowTest, TitleSizeAndCentring) {
  Recorder events;
  GtkHostWindow& window = NewWindow(events);
  window.SetTitle("Corvane Erase \xE2\x80\x94 \xC3\xBC");
  EXPECT_STREQ(gtk_window_get_title(window.Window()), "Corvane Erase \xE2\x80\x94 \xC3\xBC");
  Load(window, events, kPage);
  window.SetSizeAndCenter(640, 480);
  EXPECT_FALSE(window.IsVisible());
  window.Show();
  EXPECT_TRUE(window.IsVisible());
  GtkWidget* view = GTK_WIDGET(window.View());
  ASSERT_TRUE(RunUntil([&] {
    return gtk_widget_get_allocated_width(view) == 640 &&
           gtk_widget_get_allocated_height(view) == 480;
  }));
  // Centred on the 1280 x 800 screen of the test server.
  int x = 0;
  int y = 0;
  ASSERT_TRUE(RunUntil([&] {
    gdk_window_get_origin(gtk_widget_get_window(view), &x, &y);
    return x == 320 && y == 160;
  })) << x
      << "," << y;
  EXPECT_EQ(Eval(window, "innerWidth + 'x' + innerHeight"), "640x480");

  Recorder childEvents;
  GtkHostWindow& child = NewWindow(childEvents, &window);
  child.SetSizeAndCenter(200, 100);
  child.Show();
  GtkWidget* childView = GTK_WIDGET(child.View());
  ASSERT_TRUE(RunUntil([&] {
    if (!gtk_widget_get_mapped(childView)) return false;
    gdk_window_get_origin(gtk_widget_get_window(childView), &x, &y);
    return x == 320 + 220 && y == 160 + 190 && gtk_widget_get_allocated_width(childView) == 200;
  })) << x
      << "," << y;

  window.Hide();
  EXPECT_FALSE(window.IsVisible());
}

TEST_F(GtkHostWindowTest, AppliesABatchOfChangesAsTheDomMadeThem) {
  Recorder events;
  GtkHostWindow& window = NewWindow(events);
  std::ofstream(root_ / "html" / "Common" / "page.html") << kPage;
  window.Navigate(PageUrl("page.html"), kPage);
  // Made before the page finished loading: applied once it has.
  window.ApplyChanges({{dom::ChangeKind::kSetInnerHtml, 10, "", "<b data-n=\"50\">new</b>"}});
  ASSERT_TRUE(RunUntil([&] { return events.documents == 1; }));
  Eval(window, "document.getElementById('scroll').scrollTop = 100");

  window.ApplyChanges({
      {dom::ChangeKind::kInsertAdjacentHtml, 10, "beforeend", "<i data-n=\"51\">+</i>"},
      {dom::ChangeKind::kSetAttribute, 30, "checked", "checked"},
      {dom::ChangeKind::kSetAttribute, 31, "value", "typed \"here\""},
      {dom::ChangeKind::kRemoveAttribute, 31, "class", ""},
      {dom::ChangeKind::kMoveRow, 20, "", "", 2, 0},
      {dom::ChangeKind::kSetAttribute, 999, "x", "y"},        // gone: skipped
      {dom::ChangeKind::kSetAttribute, 10, "bad name", "y"},  // refused by the DOM
      {dom::ChangeKind::kMoveRow, 20, "", "", 9, 0},          // no such row
      {dom::ChangeKind::kSetInnerHtml, 11, "", ""},
      {dom::ChangeKind::kInsertAdjacentHtml, 11, "beforeend",
       "<div data-n=\"52\" style=\"height:500px\">again</div>"},
  });
  EXPECT_EQ(Eval(window, "document.getElementById('area').innerHTML"),
            "<b data-n=\"50\">new</b><i data-n=\"51\">+</i>");
  EXPECT_EQ(Eval(window, "String(document.getElementById('cb').checked)"), "true");
  EXPECT_EQ(Eval(window, "document.getElementById('tx').value"), "typed \"here\"");
  EXPECT_EQ(Eval(window, "String(document.getElementById('tx').hasAttribute('class'))"), "false");
  EXPECT_EQ(Eval(window, "[...document.getElementById('t').rows].map(r => r.dataset.n).join()"),
            "24,22,23");
  // The area's rows were replaced, but the user stays where they had scrolled to.
  EXPECT_EQ(Eval(window, "String(document.getElementById('scroll').scrollTop)"), "100");
  // Another cleaner's page in the same area starts at its top.
  window.ApplyChanges({{dom::ChangeKind::kSetInnerHtml, 11, "",
                        "<div data-n=\"53\" style=\"height:500px\"><input pluginid=\"Other\" "
                        "data-n=\"54\"></div>"}});
  EXPECT_EQ(Eval(window, "String(document.getElementById('scroll').scrollTop)"), "0");

  window.ApplyChanges({{dom::ChangeKind::kMoveRow, 20, "", "", 0, 5},
                       {dom::ChangeKind::kRemoveAttribute, 30, "checked", ""}});
  EXPECT_EQ(Eval(window, "[...document.getElementById('t').rows].map(r => r.dataset.n).join()"),
            "22,23,24");
  EXPECT_EQ(Eval(window, "String(document.getElementById('cb').checked)"), "false");
}

TEST_F(GtkHostWindowTest, ASecondNavigateReplacesAPageStillLoading) {
  Recorder events;
  GtkHostWindow& window = NewWindow(events);
  window.Navigate(PageUrl("first.html"), "<p id=which>first</p>");
  window.ApplyChanges({{dom::ChangeKind::kSetInnerHtml, 10, "", "meant for the first"}});
  window.Navigate(PageUrl("page.html"), kPage);
  ASSERT_TRUE(RunUntil([&] { return events.documents >= 1; }));
  EXPECT_EQ(Eval(window, "location.href"), PageUrl("page.html"));
  EXPECT_EQ(Eval(window, "document.getElementById('area').textContent"), "old");
  // A round trip through the view: a late completion of the first page would be here by now.
  Eval(window, "1");
  EXPECT_EQ(events.documents, 1);
}

TEST_F(GtkHostWindowTest, ClicksAndChangesReachTheDialogByNodeNumber) {
  Recorder events;
  GtkHostWindow& window = NewWindow(events);
  Load(window, events, kPage);

  Eval(window, "document.getElementById('inner').click()");
  ASSERT_TRUE(RunUntil([&] { return events.Has(ViewInput::Kind::Click, 40); }));
  EXPECT_EQ(events.inputs.size(), 1u);  // only the innermost numbered element

  Eval(window, "document.getElementById('cb').click()");
  ASSERT_TRUE(RunUntil([&] { return events.Has(ViewInput::Kind::Change, 30); }));
  const ViewInput* click = events.Find(ViewInput::Kind::Click, 30);
  ASSERT_NE(click, nullptr);
  EXPECT_TRUE(click->checked);
  EXPECT_EQ(click->value, "on1");
  EXPECT_TRUE(events.Find(ViewInput::Kind::Change, 30)->checked);

  Eval(window,
       "const t = document.getElementById('tx'); t.value = 'abc \\u00fc';"
       "t.dispatchEvent(new Event('change', {bubbles: true}))");
  ASSERT_TRUE(RunUntil([&] { return events.Has(ViewInput::Kind::Change, 31); }));
  EXPECT_EQ(events.Find(ViewInput::Kind::Change, 31)->value, "abc \xC3\xBC");
  EXPECT_FALSE(events.Find(ViewInput::Kind::Change, 31)->checked);

  Eval(window, "document.getElementById('btn').click()");
  ASSERT_TRUE(RunUntil([&] { return events.Has(ViewInput::Kind::Click, 42); }));
  EXPECT_EQ(events.Find(ViewInput::Kind::Click, 42)->value, "b1");

  // A link is a click for the dialog and never leaves the page.
  Eval(window, "document.getElementById('link').click()");
  ASSERT_TRUE(RunUntil([&] { return events.Has(ViewInput::Kind::Click, 41); }));
  EXPECT_EQ(Eval(window, "location.href"), PageUrl("page.html"));
  EXPECT_EQ(Eval(window, "document.getElementById('area').textContent"), "old");
}

TEST_F(GtkHostWindowTest, EnterAndSpaceOnAFocusedElementAreClicks) {
  Recorder events;
  GtkHostWindow& window = NewWindow(events);
  Load(window, events, kPage);
  ShowAndFocus(window);
  GtkWidget* view = GTK_WIDGET(window.View());

  Eval(window, "document.getElementById('cmd').focus()");
  SendKey(view, GDK_KEY_Return);
  ASSERT_TRUE(RunUntil([&] { return events.Has(ViewInput::Kind::Click, 40); }));

  // A command without a tab index of its own was made reachable by the bridge.
  EXPECT_EQ(Eval(window, "String(document.getElementById('plain').tabIndex)"), "0");
  Eval(window, "document.getElementById('plain').focus()");
  SendKey(view, GDK_KEY_space);
  ASSERT_TRUE(RunUntil([&] { return events.Has(ViewInput::Kind::Click, 43); }));

  // A button activates itself; the bridge must not add a second click. (Each key is waited
  // for before focus moves: keys and scripts reach the page by different ways.)
  Eval(window, "document.getElementById('btn').focus()");
  SendKey(view, GDK_KEY_Return);
  ASSERT_TRUE(RunUntil([&] { return events.Has(ViewInput::Kind::Click, 42); }));
  Eval(window, "document.getElementById('cb').focus()");
  SendKey(view, GDK_KEY_space);
  ASSERT_TRUE(RunUntil([&] { return events.Has(ViewInput::Kind::Change, 30); }));
  EXPECT_EQ(std::count_if(events.inputs.begin(), events.inputs.end(),
                          [](const ViewInput& in) { return in.node == 42; }),
            1);
  EXPECT_TRUE(events.Find(ViewInput::Kind::Click, 30)->checked);

  // Typing into a text field stays typing.
  Eval(window, "document.getElementById('tx').focus()");
  SendKey(view, GDK_KEY_space);
  ASSERT_TRUE(RunUntil([&] { return Eval(window, "document.getElementById('tx').value") == " "; }));
  Eval(window, "document.getElementById('cmd').focus()");
  SendKey(view, GDK_KEY_space);
  ASSERT_TRUE(RunUntil([&] {
    return std::count_if(events.inputs.begin(), events.inputs.end(),
                         [](const ViewInput& in) { return in.node == 40; }) == 2;
  }));
  EXPECT_FALSE(events.Has(ViewInput::Kind::Click, 31));
}

TEST_F(GtkHostWindowTest, EscapeAndClosingAskTheDialogAndLeaveTheWindow) {
  Recorder events;
  GtkHostWindow& window = NewWindow(events);
  Load(window, events, kPage);
  ShowAndFocus(window);
  SendKey(GTK_WIDGET(window.View()), GDK_KEY_Escape);
  ASSERT_TRUE(RunUntil([&] { return events.cancels == 1; }));
  gtk_window_close(window.Window());
  ASSERT_TRUE(RunUntil([&] { return events.cancels == 2; }));
  EXPECT_TRUE(window.IsVisible());
  EXPECT_EQ(Eval(window, "document.getElementById('area').textContent"), "old");
}

TEST_F(GtkHostWindowTest, RefusesEveryOtherPageAndNavigation) {
  Recorder events;
  GtkHostWindow& window = NewWindow(events);
  // Outside the program folder: an empty page instead, and the dialog still hears of it.
  // A sibling whose name merely starts with the program folder's.
  const fs::path elsewhere = root_.string() + "-elsewhere.html";
  std::ofstream(elsewhere) << "<p id=secret>secret</p>";
  window.Navigate("file://" + elsewhere.string(), kPage);
  fs::remove(elsewhere);
  ASSERT_TRUE(RunUntil([&] { return events.documents == 1; }));
  EXPECT_EQ(Eval(window, "location.href"), "about:blank");
  EXPECT_EQ(Eval(window, "String(document.getElementById('area'))"), "null");

  Load(window, events, kPage);
  std::ofstream(root_ / "html" / "Common" / "other.html") << "<p id=other>other</p>";
  struct Seen {
    std::vector<std::string> uris;
  } seen;
  const guint signal = g_signal_lookup("decide-policy", WEBKIT_TYPE_WEB_VIEW);
  const gulong hook = g_signal_add_emission_hook(
      signal, 0,
      [](GSignalInvocationHint*, guint, const GValue* params, gpointer data) -> gboolean {
        auto* decision = WEBKIT_POLICY_DECISION(g_value_get_object(&params[1]));
        if (WEBKIT_IS_NAVIGATION_POLICY_DECISION(decision)) {
          WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
              WEBKIT_NAVIGATION_POLICY_DECISION(decision));
          static_cast<Seen*>(data)->uris.push_back(
              webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
        }
        return TRUE;
      },
      &seen, nullptr);
  // Even inside the program folder, only the page the dialog asked for may load.
  Eval(window, "location.href = '" + PageUrl("other.html") + "'; 1");
  const bool asked = RunUntil([&] {
    return std::find(seen.uris.begin(), seen.uris.end(), PageUrl("other.html")) != seen.uris.end();
  });
  g_signal_remove_emission_hook(signal, hook);
  ASSERT_TRUE(asked);
  EXPECT_EQ(Eval(window, "location.href"), PageUrl("page.html"));
  EXPECT_EQ(Eval(window, "document.getElementById('area').textContent"), "old");
  EXPECT_FALSE(webkit_web_view_is_loading(window.View()));
}

TEST_F(GtkHostWindowTest, RunModalDisablesTheParentUntilEndModal) {
  Recorder parentEvents;
  Recorder childEvents;
  GtkHostWindow& parent = NewWindow(parentEvents);
  GtkHostWindow& child = NewWindow(childEvents, &parent);
  parent.Show();
  bool parentWasDisabled = false;
  host_->Loop().Post([&] {
    parentWasDisabled = !gtk_widget_get_sensitive(GTK_WIDGET(parent.Window()));
    child.EndModal(5);
  });
  EXPECT_EQ(child.RunModal(), 5);
  EXPECT_TRUE(parentWasDisabled);
  EXPECT_TRUE(gtk_widget_get_sensitive(GTK_WIDGET(parent.Window())));

  // Ended while it was being set up: the modal run returns at once.
  child.EndModal(1);
  EXPECT_EQ(child.RunModal(), 1);
}

// The print dialog on screen, once there is one. (Reached through its type name and
// properties, which spares the tests the separate Unix print headers.)
GtkDialog* OpenPrintDialog() {
  const GType type = g_type_from_name("GtkPrintUnixDialog");
  GList* windows = gtk_window_list_toplevels();
  GtkDialog* dialog = nullptr;
  for (GList* w = windows; w != nullptr; w = w->next) {
    if (type != 0 && G_TYPE_CHECK_INSTANCE_TYPE(w->data, type) &&
        gtk_widget_get_mapped(GTK_WIDGET(w->data))) {
      dialog = GTK_DIALOG(w->data);
    }
  }
  g_list_free(windows);
  return dialog;
}

TEST_F(GtkHostWindowTest, PrintsFromAWindowThatIsNeverShown) {
  Recorder events;
  GtkHostWindow& window = NewWindow(events);
  Load(window, events, kPage);
  const fs::path pdf = root_ / "printed.pdf";
  // The user picks "Print to File" in the dialog and prints.
  bool dialogSeen = false;
  host_->Loop().SetTimer(1, std::chrono::milliseconds(20), [&] {
    GtkDialog* dialog = OpenPrintDialog();
    if (dialog == nullptr) return;
    if (!dialogSeen) {
      dialogSeen = true;
      GtkPrintSettings* settings = gtk_print_settings_new();
      gtk_print_settings_set_printer(settings, "Print to File");
      gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
      gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI,
                             ("file://" + pdf.string()).c_str());
      g_object_set(dialog, "print-settings", settings, nullptr);
      g_object_unref(settings);
    }
    GObject* printer = nullptr;
    g_object_get(dialog, "selected-printer", &printer, nullptr);
    gboolean isFile = FALSE;
    if (printer != nullptr) {
      g_object_get(printer, "is-virtual", &isFile, nullptr);
      g_object_unref(printer);
    }
    if (!isFile) return;
    host_->Loop().KillTimer(1);
    gtk_dialog_response(dialog, GTK_RESPONSE_OK);
  });
  EXPECT_TRUE(window.Print());
  EXPECT_TRUE(dialogSeen);
  EXPECT_FALSE(window.IsVisible());
  // The dialog that printed closes its window at once; the job must still complete.
  windows_.clear();
  ASSERT_TRUE(RunUntil([&] {
    std::ifstream in(pdf, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text.rfind("%PDF", 0) == 0 && text.find("%%EOF") != std::string::npos;
  }));
}

TEST_F(GtkHostWindowTest, CancellingThePrintDialogReportsNothingPrinted) {
  Recorder events;
  GtkHostWindow& window = NewWindow(events);
  Load(window, events, kPage);
  host_->Loop().SetTimer(1, std::chrono::milliseconds(20), [&] {
    if (GtkDialog* dialog = OpenPrintDialog()) {
      host_->Loop().KillTimer(1);
      gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
    }
  });
  EXPECT_FALSE(window.Print());
}

// A screenshot of the whole test screen; answers how many colours it holds (0 when it failed).
// With CORVANE_SCREENSHOT_DIR set, a copy is kept there to look at.
int Screenshot(const fs::path& png) {
  if (std::system(("import -window root '" + png.string() + "' 2>/dev/null").c_str()) != 0) {
    return 0;
  }
  if (const char* keep = std::getenv("CORVANE_SCREENSHOT_DIR")) {
    std::error_code ec;
    fs::copy_file(png, fs::path(keep) / png.filename(), fs::copy_options::overwrite_existing, ec);
  }
  FILE* identify = popen(("identify -format %k '" + png.string() + "'").c_str(), "r");
  if (identify == nullptr) return 0;
  int colours = 0;
  if (std::fscanf(identify, "%d", &colours) != 1) colours = 0;
  pclose(identify);
  return colours;
}

// The mean brightness (0 black to 1 white) of a region of the last screenshot.
double Brightness(const fs::path& png, const std::string& region) {
  FILE* convert = popen(
      ("convert '" + png.string() + "' -crop " + region + " -format '%[fx:mean]' info:").c_str(),
      "r");
  if (convert == nullptr) return -1;
  double mean = -1;
  if (std::fscanf(convert, "%lf", &mean) != 1) mean = -1;
  pclose(convert);
  return mean;
}

std::string ReadFile(const fs::path& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// The real pages and stylesheet of the program folder the build laid out.
class PageLookTest : public GtkHostWindowTest {
 protected:
  void SetUp() override {
    GtkHostWindowTest::SetUp();
    if (IsSkipped()) return;
    program_ = GtkHost::Create(CORVANE_PROGRAM_DIR);
    ASSERT_TRUE(program_);
  }
  void TearDown() override {
    page_.reset();
    program_.reset();
    GtkHostWindowTest::TearDown();
  }

  // Shows `html` as if it were html/Common/`name` at the size its DlgBody asks for.
  GtkHostWindow& ShowPage(const std::string& name, const std::string& html) {
    page_ = program_->CreateWindow(events_, nullptr);
    auto& window = dynamic_cast<GtkHostWindow&>(*page_);
    window.Navigate("file://" CORVANE_PROGRAM_DIR "/html/Common/" + name, html);
    EXPECT_TRUE(RunUntil([&] { return events_.documents == 1; }));
    const int width = std::atoi(Eval(window, "DlgBody.getAttribute('width')").c_str());
    const int height = std::atoi(Eval(window, "DlgBody.getAttribute('height')").c_str());
    window.SetSizeAndCenter(width, height);
    window.SetTitle("Corvane Erase");
    window.SetIcon(CORVANE_PROGRAM_DIR "/icons/corvane-erase.svg");
    window.Show();
    // The pointer away from the window, so no hover colours the rows under test.
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window.Window()));
    gdk_device_warp(gdk_seat_get_pointer(gdk_display_get_default_seat(display)),
                    gdk_display_get_default_screen(display), 0, 0);
    EXPECT_TRUE(RunUntil([&] {
      return gtk_widget_get_allocated_width(GTK_WIDGET(window.View())) == width &&
             gtk_widget_get_allocated_height(GTK_WIDGET(window.View())) == height;
    }));
    return window;
  }

  std::unique_ptr<GtkHost> program_;
  std::unique_ptr<HostWindow> page_;
  Recorder events_;
};

TEST_F(PageLookTest, MainPageIsSizedByItsBodyAndNeverScrollsAsAWhole) {
  GtkHostWindow& window =
      ShowPage("layout.html", ReadFile(CORVANE_PROGRAM_DIR "/html/Common/layout.html"));
  EXPECT_EQ(Eval(window, "innerWidth + 'x' + innerHeight"), "900x640");
  EXPECT_EQ(Eval(window, "String(!!document.getElementById('HeaderTitle'))"), "true");
  EXPECT_EQ(Eval(window, "String(!!document.getElementById('Layout'))"), "true");
  EXPECT_EQ(Eval(window, "getComputedStyle(document.body).fontSize"), "14px");
  EXPECT_EQ(Eval(window, "String(document.scrollingElement.scrollHeight <= innerHeight)"), "true");
  EXPECT_NE(gtk_window_get_icon(window.Window()), nullptr);
}

TEST_F(PageLookTest, StyledPageRendersAndLongAreasScrollInside) {
  GtkHostWindow& window =
      ShowPage("style_demo.html", ReadFile(CORVANE_FIXTURES_DIR "/html/style_demo.html"));
  EXPECT_EQ(Eval(window, "getComputedStyle(document.body).fontSize"), "14px");
  EXPECT_EQ(Eval(window, "String(document.scrollingElement.scrollHeight <= innerHeight)"), "true");
  const std::string plugins = "document.getElementById('PluginsArea')";
  EXPECT_EQ(Eval(window, plugins + ".getBoundingClientRect().width"), "250");
  EXPECT_EQ(Eval(window, "String(" + plugins + ".scrollHeight > " + plugins + ".clientHeight)"),
            "true");
  // One colour for the primary action, red only for erasing.
  EXPECT_NE(
      Eval(window, "getComputedStyle(document.querySelector('[cid=btn_scan]')).backgroundColor"),
      Eval(window, "getComputedStyle(document.querySelector('[cid=btn_clean]')).backgroundColor"));
  EXPECT_EQ(
      Eval(window, "getComputedStyle(document.querySelector('[cid=btn_scan]')).backgroundColor"),
      Eval(window, "getComputedStyle(document.querySelector('.tab.active')).color"));
  const std::string zebra = "getComputedStyle(document.querySelectorAll('#ProcessArea tbody tr')";
  EXPECT_NE(Eval(window, zebra + "[2].cells[0]).backgroundColor"),
            Eval(window, zebra + "[3].cells[0]).backgroundColor"));
  const fs::path light = root_ / "style_demo_light.png";
  EXPECT_GT(Screenshot(light), 16);
  EXPECT_GT(Brightness(light, "900x640+190+80"), 0.75);

  // The dark theme follows the desktop's preference.
  const std::string lightBackground =
      Eval(window, "getComputedStyle(document.body).backgroundColor");
  g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", TRUE, nullptr);
  events_ = Recorder{};
  GtkHostWindow& darkWindow =
      ShowPage("style_demo.html", ReadFile(CORVANE_FIXTURES_DIR "/html/style_demo.html"));
  EXPECT_EQ(Eval(darkWindow, "String(matchMedia('(prefers-color-scheme: dark)').matches)"), "true");
  EXPECT_NE(Eval(darkWindow, "getComputedStyle(document.body).backgroundColor"), lightBackground);
  const fs::path dark = root_ / "style_demo_dark.png";
  EXPECT_TRUE(
      RunUntil([&] { return Screenshot(dark) > 16 && Brightness(dark, "900x640+190+80") < 0.35; }));
  g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", FALSE, nullptr);
}

}  // namespace
}  // namespace corvane
