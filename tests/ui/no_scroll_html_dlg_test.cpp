#include "ui/no_scroll_html_dlg.h"

#include <gtest/gtest.h>

#include "host/headless/headless_clicks.h"
#include "host/headless/headless_host.h"
#include "platform/program_folder.h"
#include "tests/support/scratch_folder.h"
#include "ui/print_html_dlg.h"

namespace corvane {
namespace {

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() { SetProgramFolder(folder_.Path().string()); }
  ~DialogTest() override { SetProgramFolder(""); }

  void WritePage(std::string_view name, std::string_view html) {
    folder_.Write("html/Common/" + std::string(name), html);
  }
  HeadlessWindow& Shown(const CNoScrollHtmlDlg& dialog) {
    return static_cast<HeadlessWindow&>(*dialog.Window());
  }

  test::ScratchFolder folder_;
  HeadlessHost host_;
};

TEST_F(DialogTest, TheBodyElementSizesTheWindowWithOneHundredForWhatIsMissing) {
  const std::pair<std::string, std::pair<int, int>> cases[] = {
      {R"(<div id="DlgBody" width="640" height="480"></div>)", {640, 480}},
      {R"(<div id="DlgBody" width="640"></div>)", {640, 100}},
      {R"(<div id="DlgBody"></div>)", {100, 100}},
      {R"(<div id="DlgBody" width="-5" height="wide"></div>)", {100, 100}},
      {R"(<div id="Other"></div>)", {0, 0}},  // no body element: the window keeps its size
  };
  for (const auto& [html, size] : cases) {
    WritePage("sized.html", html);
    CNoScrollHtmlDlg dialog(host_, "Common\\sized.html", 200, nullptr);
    dialog.CreateModeless();
    host_.Loop().RunPending();
    EXPECT_EQ(Shown(dialog).Width(), size.first) << html;
    EXPECT_EQ(Shown(dialog).Height(), size.second) << html;
  }
}

TEST_F(DialogTest, ThePageLoadsFromTheProgramFolderAndAMissingOneStillOpens) {
  WritePage("page.html", R"(<p id="x">Hello</p>)");
  CNoScrollHtmlDlg dialog(host_, "Common\\page.html", 200, nullptr);
  dialog.CreateModeless();
  EXPECT_EQ(dialog.Document(), nullptr);  // not before the view has loaded it
  host_.Loop().RunPending();
  EXPECT_EQ(Shown(dialog).Url().rfind("file:///", 0), 0u);
  EXPECT_NE(Shown(dialog).Url().find("/html/Common/page.html"), std::string::npos);
  EXPECT_NE(Shown(dialog).Html().find("data-n="), std::string::npos);
  EXPECT_EQ(dialog.GetElement("x").InnerText(), "Hello");

  CNoScrollHtmlDlg missing(host_, "Common\\absent.html", 200, nullptr);
  missing.CreateModeless();
  host_.Loop().RunPending();
  ASSERT_NE(missing.Document(), nullptr);
  EXPECT_FALSE(missing.GetElement("DlgBody"));
  missing.SetElementHtml("nothing", "<b>skipped</b>");  // absent elements are no error
}

class ClickDialog : public CNoScrollHtmlDlg {
 public:
  using CNoScrollHtmlDlg::CNoScrollHtmlDlg;
  std::vector<std::string> clicked;

 protected:
  void OnClickElement(dom::Element element) override {
    clicked.push_back(CommandId(element));
    SetElementText("status", "clicked " + clicked.back());
    CNoScrollHtmlDlg::OnClickElement(element);
  }
};

TEST_F(DialogTest, ClicksCarryTheFormStateAndTheirChangesReachTheView) {
  WritePage("form.html", R"(<div id="DlgBody"><input type="checkbox" id="box" cid="check">)"
                         R"(<span id="status"></span><a id="close" cid="btn_close">Close</a>)"
                         R"(<p id="plain">text</p></div>)");
  ClickDialog dialog(host_, "Common\\form.html", 200, nullptr);
  host_.AddModalStep([&](HeadlessWindow&) {
    EXPECT_TRUE(ClickByCid(dialog, "check"));
    EXPECT_TRUE(ClickById(dialog, "plain"));
    EXPECT_FALSE(ClickById(dialog, "absent"));
    EXPECT_TRUE(ClickByCid(dialog, "btn_close"));
  });
  EXPECT_EQ(dialog.DoModal(), 0);
  EXPECT_EQ(dialog.clicked, (std::vector<std::string>{"check", "", "btn_close"}));
  EXPECT_EQ(dialog.GetElementAttribute("box", "checked"), dom::AttributeValue(true));
  const auto& changes = Shown(dialog).Changes();
  ASSERT_FALSE(changes.empty());
  EXPECT_EQ(changes.back().kind, dom::ChangeKind::kSetInnerText);
  EXPECT_EQ(changes.back().value, "clicked btn_close");
  EXPECT_FALSE(Shown(dialog).IsVisible());
}

TEST_F(DialogTest, EscapeEndsAModalDialogWithCancel) {
  WritePage("plain.html", R"(<div id="DlgBody"></div>)");
  CNoScrollHtmlDlg dialog(host_, "Common\\plain.html", 200, nullptr);
  host_.AddModalStep([](HeadlessWindow& window) { window.Cancel(); });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, ThePrintDialogPrintsTheFragmentWithoutEverShowing) {
  WritePage("print.html", R"(<div id="contentid"></div>)");
  CNoScrollHtmlDlg owner(host_, "Common\\print.html", 200, nullptr);
  CPrintHtmlDlg print(host_, "Common\\print.html", "<table><tr><td>42</td></tr></table>", 201,
                      &owner);
  host_.AddModalStep([](HeadlessWindow&) {});  // the dialog ends itself
  EXPECT_EQ(print.DoModal(), 1);
  EXPECT_TRUE(print.Completion().IsSet());
  EXPECT_EQ(Shown(print).PrintCount(), 1);
  EXPECT_EQ(Shown(print).Title(), "MyDialog");
  EXPECT_EQ(print.GetElement("contentid").InnerText(), "42");
  ASSERT_FALSE(Shown(print).Changes().empty());  // the view got the fragment before printing
  EXPECT_FALSE(Shown(print).IsVisible());
}

TEST_F(DialogTest, ThePrintDialogSignalsCompletionFirstAndEndsWithOneWhenTheUserCancels) {
  WritePage("print.html", R"(<div id="contentid"></div>)");
  CPrintHtmlDlg print(host_, "Common\\print.html", "<p>42</p>", 201, nullptr);
  bool completedFirst = false;
  host_.SetPrintDialog([&] {
    completedFirst = print.Completion().IsSet();
    return false;  // the user cancels the print dialog
  });
  host_.AddModalStep([](HeadlessWindow&) {});
  EXPECT_EQ(print.DoModal(), 1);
  EXPECT_TRUE(completedFirst);
  EXPECT_EQ(Shown(print).PrintCount(), 1);
}

}  // namespace
}  // namespace corvane
