#pragma once
// The base of every window: a dialog whose whole client area is one HTML page from the program
// folder, sized by the page's "DlgBody" element. The dialog owns the page's DOM; page logic reads
// and writes it synchronously, and after every handled event the changes go to the host's view.
// Clicks and form changes come back from the view by node number.

#include <memory>
#include <string>
#include <string_view>

#include "platform/dom/document.h"
#include "platform/host_window.h"
#include "platform/window_messages.h"

namespace corvane {

class CNoScrollHtmlDlg : public MessageWindow, public HostWindowEvents {
 public:
  // `pageName` is relative to "html\" ("Common\layout.html"); `parent` may be null.
  CNoScrollHtmlDlg(Host& host, std::string pageName, int templateId, CNoScrollHtmlDlg* parent);
  ~CNoScrollHtmlDlg() override;

  // Creates the window (hidden) and navigates to the page: the initial dialog set-up.
  void CreateModeless();
  // Creates, shows and runs the dialog modally; answers what EndDialog was given.
  int DoModal();
  void EndDialog(int result);

  [[nodiscard]] Host& GetHost() const { return host_; }
  // Null before the window is created.
  [[nodiscard]] HostWindow* Window() const { return window_.get(); }
  // Null until the page has loaded.
  [[nodiscard]] dom::Document* Document() const { return document_.get(); }
  [[nodiscard]] const std::string& PageName() const { return pageName_; }
  [[nodiscard]] int TemplateId() const { return templateId_; }

  // Element helpers: an absent element (or no page yet) is skipped, never an error.
  [[nodiscard]] dom::Element GetElement(std::string_view id) const;
  void SetElementHtml(std::string_view id, std::string_view html);
  void SetElementText(std::string_view id, std::string_view text);
  void AppendElementHtml(std::string_view id, std::string_view html);
  [[nodiscard]] dom::AttributeValue GetElementAttribute(std::string_view id,
                                                        std::string_view name) const;

  // Sends the DOM's recorded changes to the view now (also done after every handled event).
  void FlushChanges();

  // HostWindowEvents.
  void OnDocumentComplete() override;
  void OnViewInput(const ViewInput& input) override;
  void OnCancel() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 protected:
  // The initial dialog set-up: navigates to the page. Derived dialogs add their own set-up.
  virtual void OnInitDialog();
  // A click on an element of the page (the innermost element under the pointer). The base ends
  // the dialog with 0 on "btn_close" and ignores elements without "cid".
  virtual void OnClickElement(dom::Element element);
  // A form control's value or state changed in the view (already copied into the DOM).
  virtual void OnChangeElement(dom::Element element);
  // Whether DoModal shows the window (the print dialog never does).
  [[nodiscard]] virtual bool ShowWhenModal() const { return true; }

 private:
  // Reads the page file and parses it; an unreadable page gives an empty document.
  void LoadPage();
  // "DlgBody" width and height attributes, 100 each when missing.
  void SizeFromBody();

  Host& host_;
  std::string pageName_;
  int templateId_;
  CNoScrollHtmlDlg* parent_;
  std::unique_ptr<HostWindow> window_;
  std::unique_ptr<dom::Document> document_;
  std::unique_ptr<dom::Document> pending_;  // parsed, waiting for the view to finish loading
  EventLoop::HookId flushHook_ = 0;
};

// The command id of an element: its "cid" attribute, or empty.
[[nodiscard]] std::string CommandId(const dom::Element& element);

}  // namespace corvane
