#pragma once
// What a user does on a page, for dialogs running on the headless host: a click on an element
// found by id or by command id, carrying the form state a browser would report (a check box
// toggles, a radio button becomes checked). The click is queued like a real view's event.

#include <string_view>

#include "ui/no_scroll_html_dlg.h"

namespace corvane {

// False when the dialog has no page yet or no such element.
bool ClickById(CNoScrollHtmlDlg& dialog, std::string_view id);
// The first element, in document order, whose "cid" is `cid`.
bool ClickByCid(CNoScrollHtmlDlg& dialog, std::string_view cid);

}  // namespace corvane
