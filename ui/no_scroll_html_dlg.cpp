#include "ui/no_scroll_html_dlg.h"

#include <charconv>

#include "ui/template_store.h"

namespace corvane {

namespace {

constexpr int kMissingDimension = 100;

int Dimension(const dom::AttributeValue& attribute) {
  const auto* text = std::get_if<std::string>(&attribute);
  if (text == nullptr) return kMissingDimension;
  int value = 0;
  const char* begin = text->data();
  while (begin != text->data() + text->size() && *begin == ' ') ++begin;
  const auto [end, error] = std::from_chars(begin, text->data() + text->size(), value);
  // A size the window cannot take counts as missing rather than collapsing the window.
  if (error != std::errc() || value <= 0) return kMissingDimension;
  return value;
}

}  // namespace

std::string CommandId(const dom::Element& element) {
  const dom::AttributeValue cid = element.GetAttribute("cid");
  const auto* text = std::get_if<std::string>(&cid);
  return text != nullptr ? *text : std::string();
}

CNoScrollHtmlDlg::CNoScrollHtmlDlg(Host& host, std::string pageName, int templateId,
                                   CNoScrollHtmlDlg* parent)
    : MessageWindow(host.Loop()),
      host_(host),
      pageName_(std::move(pageName)),
      templateId_(templateId),
      parent_(parent) {}

CNoScrollHtmlDlg::~CNoScrollHtmlDlg() {
  if (flushHook_ != 0) host_.Loop().RemoveAfterEventHook(flushHook_);
}

void CNoScrollHtmlDlg::CreateModeless() {
  if (window_) return;
  window_ = host_.CreateWindow(*this, parent_ != nullptr ? parent_->Window() : nullptr);
  flushHook_ = host_.Loop().AddAfterEventHook([this] { FlushChanges(); });
  OnInitDialog();
}

int CNoScrollHtmlDlg::DoModal() {
  CreateModeless();
  if (ShowWhenModal()) window_->Show();
  const int result = window_->RunModal();
  window_->Hide();
  return result;
}

void CNoScrollHtmlDlg::EndDialog(int result) {
  if (window_) window_->EndModal(result);
}

void CNoScrollHtmlDlg::OnInitDialog() {
  LoadPage();
}

void CNoScrollHtmlDlg::LoadPage() {
  pending_ = dom::Document::Parse(TemplateStore::Load("html\\" + pageName_));
  if (!pending_) pending_ = dom::Document::Parse("");
  window_->Navigate(TemplateStore::PageUrl(pageName_), pending_->Serialize());
}

void CNoScrollHtmlDlg::OnDocumentComplete() {
  if (pending_) {
    document_ = std::move(pending_);
    static_cast<void>(document_->TakeChanges());  // the view already has the page as it is
  }
  SizeFromBody();
}

void CNoScrollHtmlDlg::SizeFromBody() {
  const dom::Element body = GetElement("DlgBody");
  if (!body) return;
  window_->SetSizeAndCenter(Dimension(body.GetAttribute("width")),
                            Dimension(body.GetAttribute("height")));
  // A page that lays itself out for any size says so; its size is remembered by its name.
  const dom::AttributeValue resizable = body.GetAttribute("resizable");
  if (const auto* name = std::get_if<std::string>(&resizable); name != nullptr && !name->empty()) {
    window_->AllowResize(*name);
  }
}

void CNoScrollHtmlDlg::OnViewInput(const ViewInput& input) {
  if (!document_) return;
  const auto number = static_cast<dom::NodeNumber>(input.node);
  dom::ViewState state;
  state.checked = input.checked;
  state.value = input.value;
  if (!document_->ApplyViewState(number, state)) return;
  const dom::Element element = document_->ElementByNumber(number);
  if (input.kind == ViewInput::Kind::Click) {
    OnClickElement(element);
  } else {
    OnChangeElement(element);
  }
}

void CNoScrollHtmlDlg::OnCancel() {
  EndDialog(IDCANCEL);
}

void CNoScrollHtmlDlg::OnClickElement(dom::Element element) {
  if (CommandId(element) == "btn_close") EndDialog(0);
}

void CNoScrollHtmlDlg::OnChangeElement(dom::Element) {}

LRESULT CNoScrollHtmlDlg::WindowProc(UINT, WPARAM, LPARAM) {
  return 0;
}

void CNoScrollHtmlDlg::FlushChanges() {
  if (!document_ || !window_) return;
  const std::vector<dom::Change> changes = document_->TakeChanges();
  if (!changes.empty()) window_->ApplyChanges(changes);
}

dom::Element CNoScrollHtmlDlg::GetElement(std::string_view id) const {
  return document_ ? document_->GetElementById(id) : dom::Element();
}

void CNoScrollHtmlDlg::SetElementHtml(std::string_view id, std::string_view html) {
  if (dom::Element element = GetElement(id)) element.SetInnerHtml(html);
}

void CNoScrollHtmlDlg::SetElementText(std::string_view id, std::string_view text) {
  if (dom::Element element = GetElement(id)) element.SetInnerText(text);
}

void CNoScrollHtmlDlg::AppendElementHtml(std::string_view id, std::string_view html) {
  if (dom::Element element = GetElement(id)) {
    static_cast<void>(element.InsertAdjacentHtml("beforeEnd", html));
  }
}

dom::AttributeValue CNoScrollHtmlDlg::GetElementAttribute(std::string_view id,
                                                          std::string_view name) const {
  const dom::Element element = GetElement(id);
  return element ? element.GetAttribute(name) : dom::AttributeValue();
}

}  // namespace corvane
