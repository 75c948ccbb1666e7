#include "host/headless/headless_clicks.h"

#include "host/headless/headless_host.h"
#include "platform/text.h"

namespace corvane {

namespace {

bool Click(CNoScrollHtmlDlg& dialog, const dom::Element& element) {
  auto* window = dynamic_cast<HeadlessWindow*>(dialog.Window());
  if (!element || window == nullptr) return false;
  ViewInput input;
  input.kind = ViewInput::Kind::Click;
  input.node = element.Number();
  const dom::AttributeValue checked = element.GetAttribute("checked");
  if (const bool* state = std::get_if<bool>(&checked)) {
    const dom::AttributeValue type = element.GetAttribute("type");
    const auto* typeText = std::get_if<std::string>(&type);
    const bool radio = typeText != nullptr && EqualsNoCase(*typeText, "radio");
    input.checked = radio ? true : !*state;  // the browser toggles before it reports the click
  }
  const dom::AttributeValue value = element.GetAttribute("value");
  if (const auto* text = std::get_if<std::string>(&value)) input.value = *text;
  window->Input(input);
  return true;
}

}  // namespace

bool ClickById(CNoScrollHtmlDlg& dialog, std::string_view id) {
  return Click(dialog, dialog.GetElement(id));
}

bool ClickByCid(CNoScrollHtmlDlg& dialog, std::string_view cid) {
  if (dialog.Document() == nullptr) return false;
  const std::vector<dom::Element> found = dialog.Document()->ElementsWithAttribute("cid", cid);
  return !found.empty() && Click(dialog, found.front());
}

}  // namespace corvane
