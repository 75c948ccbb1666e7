#pragma once
// The bridge between a dialog's DOM and the web view that mirrors it. Pages may not run scripts
// of their own; the bridge is a user script in a separate script world that applies the dialog's
// changes and reports clicks and form changes by node number. Everything here is plain text work,
// so it holds no GTK or WebKit state.

#include <string>
#include <string_view>
#include <vector>

#include "platform/dom/change.h"
#include "platform/host_window.h"

namespace corvane::view_bridge {

// The script world the bridge lives in and the message handler it posts to.
inline constexpr const char* kWorld = "corvane";
inline constexpr const char* kHandler = "corvane";

// The user script injected at document start into every page.
[[nodiscard]] std::string_view Script();

// A statement, run in the bridge's world, that applies `changes` in order.
[[nodiscard]] std::string ApplyScript(const std::vector<dom::Change>& changes);

// `html` with a Content-Security-Policy meta element as the first thing in its head, so that no
// script of the page runs and nothing is loaded from outside the machine.
[[nodiscard]] std::string WithPagePolicy(std::string html);

}  // namespace corvane::view_bridge
