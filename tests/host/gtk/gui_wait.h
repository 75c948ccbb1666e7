#pragma once
// Waiting in GUI tests: the main context runs until a condition holds, with a generous limit for
// a busy machine. A short wake-up source lets the deadline be checked while nothing happens.

#include <glib.h>

#include <chrono>
#include <functional>

namespace corvane::testing {

inline bool RunUntil(const std::function<bool()>& done,
                     std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const guint wake = g_timeout_add(
      20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  bool met = done();
  while (!met && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
    // Everything that is ready runs before the (possibly costly) condition is checked again.
    while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
    met = done();
  }
  g_source_remove(wake);
  return met;
}

}  // namespace corvane::testing
