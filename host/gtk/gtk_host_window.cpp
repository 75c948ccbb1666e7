#include "host/gtk/gtk_host_window.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/gtk/view_bridge.h"

namespace corvane {

namespace {

// Until a page sizes the window, it is as small as an empty dialog template would make it.
constexpr int kInitialWidth = 320;
constexpr int kInitialHeight = 200;

constexpr const char* kBlankPage = "about:blank";

// Where a resizable window's size is kept: the user's configuration folder, as desktops keep
// window sizes (the prefix is no place for the look of this machine's screen).
std::filesystem::path SizeFile(const std::string& sizeName) {
  std::filesystem::path folder;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    folder = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
    folder = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  return folder / "corvane-erase" / (sizeName + ".size");
}

WebKitSettings* NewViewSettings() {
  return webkit_settings_new_with_settings(
      "enable-javascript-markup", FALSE,  // no page script, inline or in a file, ever runs
      "enable-developer-extras", FALSE, "enable-page-cache", FALSE, "enable-html5-database", FALSE,
      "enable-html5-local-storage", FALSE, "enable-webgl", FALSE, "enable-webaudio", FALSE,
      "enable-media", FALSE, "enable-back-forward-navigation-gestures", FALSE,
      "javascript-can-open-windows-automatically", FALSE, "zoom-text-only", FALSE,
      "hardware-acceleration-policy", WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER, nullptr);
}

std::string StringProperty(JSCValue* object, const char* name) {
  JSCValue* property = jsc_value_object_get_property(object, name);
  std::string text;
  if (jsc_value_is_string(property)) {
    gchar* chars = jsc_value_to_string(property);
    text = chars;
    g_free(chars);
  }
  g_object_unref(property);
  return text;
}

bool BoolProperty(JSCValue* object, const char* name) {
  JSCValue* property = jsc_value_object_get_property(object, name);
  const bool value = jsc_value_is_boolean(property) && jsc_value_to_boolean(property);
  g_object_unref(property);
  return value;
}

// Keeps a view alive after its window is gone until its print job has been handed to the
// printing system; destroying the view earlier would abort the job.
struct PrintKeeper {
  GtkWidget* holder;  // an off-screen window the view moved to
  static void Finished(WebKitPrintOperation* operation, gpointer data) {
    auto* keeper = static_cast<PrintKeeper*>(data);
    g_signal_handlers_disconnect_by_data(operation, keeper);
    gtk_widget_destroy(keeper->holder);
    g_object_unref(operation);
    delete keeper;
  }
};

}  // namespace

GtkHostWindow::GtkHostWindow(GtkEventLoop& loop, const PageUrlPolicy& policy,
                             WebKitWebContext* context, HostWindowEvents& events,
                             GtkHostWindow* parent)
    : loop_(loop),
      policy_(policy),
      events_(events),
      parent_(parent),
      window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)),
      content_(webkit_user_content_manager_new()) {
  // A dialog frame: the page decides the size, the user does not drag it.
  gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
  if (parent_ != nullptr) {
    // A side dialog stays over its owner and out of the task bar.
    gtk_window_set_transient_for(GTK_WINDOW(window_), parent_->Window());
    gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
  }

  WebKitUserScript* bridge = webkit_user_script_new_for_world(
      view_bridge::Script().data(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, view_bridge::kWorld, nullptr, nullptr);
  webkit_user_content_manager_add_script(content_, bridge);
  webkit_user_script_unref(bridge);
  const std::string messageSignal =
      std::string("script-message-received::") + view_bridge::kHandler;
  g_signal_connect(content_, messageSignal.c_str(), G_CALLBACK(OnScriptMessage), this);
  webkit_user_content_manager_register_script_message_handler_in_world(
      content_, view_bridge::kHandler, view_bridge::kWorld);

  WebKitSettings* settings = NewViewSettings();
  view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                       "user-content-manager", content_, "settings", settings,
                                       nullptr));
  g_object_unref(settings);
  // Pages are laid out in pixels for a window sized from them: the zoom never drifts from 1.
  webkit_web_view_set_zoom_level(view_, 1.0);
  g_signal_connect(view_, "notify::zoom-level",
                   G_CALLBACK(+[](GObject* view, GParamSpec*, gpointer) {
                     if (webkit_web_view_get_zoom_level(WEBKIT_WEB_VIEW(view)) != 1.0) {
                       webkit_web_view_set_zoom_level(WEBKIT_WEB_VIEW(view), 1.0);
                     }
                   }),
                   nullptr);
  gtk_widget_set_size_request(GTK_WIDGET(view_), kInitialWidth, kInitialHeight);
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(view_));
  gtk_widget_show(GTK_WIDGET(view_));

  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
  g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
  // No context menu: it would offer reload, back and "open link", all of which bypass the dialog.
  g_signal_connect(view_, "context-menu",
                   G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                  WebKitHitTestResult*, gpointer) -> gboolean { return TRUE; }),
                   nullptr);
}

GtkHostWindow::~GtkHostWindow() {
  RememberSize();
  if (modal_ != nullptr) g_main_loop_quit(modal_);
  g_signal_handlers_disconnect_by_data(window_, this);
  g_signal_handlers_disconnect_by_data(view_, this);
  g_signal_handlers_disconnect_by_data(content_, this);
  webkit_user_content_manager_unregister_script_message_handler_in_world(
      content_, view_bridge::kHandler, view_bridge::kWorld);
  g_object_unref(content_);
  if (printJob_ != nullptr) {
    // The print dialog usually ends (and destroys its window) while the job is still running.
    g_signal_handlers_disconnect_by_data(printJob_, this);
    auto* keeper = new PrintKeeper{gtk_offscreen_window_new()};
    g_object_ref(view_);
    gtk_container_remove(GTK_CONTAINER(window_), GTK_WIDGET(view_));
    gtk_container_add(GTK_CONTAINER(keeper->holder), GTK_WIDGET(view_));
    g_object_unref(view_);
    g_signal_connect(printJob_, "finished", G_CALLBACK(PrintKeeper::Finished), keeper);
  }
  gtk_widget_destroy(window_);
}

void GtkHostWindow::OnPrintFinished(WebKitPrintOperation* operation, gpointer self) {
  auto* window = static_cast<GtkHostWindow*>(self);
  g_signal_handlers_disconnect_by_data(operation, window);
  g_object_unref(operation);
  window->printJob_ = nullptr;
}

void GtkHostWindow::Navigate(const std::string& url, const std::string& html) {
  pending_.clear();  // changes for the page being replaced mean nothing to the new one
  loading_ = true;
  if (policy_.Allows(url)) {
    blankUrl_.clear();
    webkit_web_view_load_html(view_, view_bridge::WithPagePolicy(html).c_str(), url.c_str());
    return;
  }
  // Refused: the dialog still gets its document-complete, as for a page that does not exist.
  g_warning("refused to show %s: not a page of the program folder", url.c_str());
  blankUrl_ = kBlankPage;
  webkit_web_view_load_html(view_, view_bridge::WithPagePolicy("<!DOCTYPE html>").c_str(),
                            kBlankPage);
}

void GtkHostWindow::ApplyChanges(const std::vector<dom::Change>& changes) {
  if (changes.empty()) return;
  if (loading_) {
    pending_.insert(pending_.end(), changes.begin(), changes.end());
    return;
  }
  Evaluate(view_bridge::ApplyScript(changes));
}

void GtkHostWindow::Evaluate(const std::string& script) {
  webkit_web_view_evaluate_javascript(view_, script.data(), static_cast<gssize>(script.size()),
                                      view_bridge::kWorld, nullptr, nullptr, nullptr, nullptr);
}

void GtkHostWindow::Show() {
  gtk_widget_show(window_);
}

void GtkHostWindow::Hide() {
  RememberSize();
  gtk_widget_hide(window_);
}

bool GtkHostWindow::IsVisible() const {
  return gtk_widget_get_visible(window_);
}

void GtkHostWindow::Raise() {
  gtk_window_present(GTK_WINDOW(window_));
}

void GtkHostWindow::SetTitle(const std::string& title) {
  gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
}

void GtkHostWindow::SetIcon(const std::string& imagePath) {
  GError* error = nullptr;
  GdkPixbuf* icon = gdk_pixbuf_new_from_file(imagePath.c_str(), &error);
  if (icon == nullptr) {
    g_warning("window icon %s: %s", imagePath.c_str(), error->message);
    g_error_free(error);
    return;  // the window keeps the icon it had
  }
  // Big and small icon: the desktop picks the size it needs from the list.
  GList* icons = nullptr;
  for (int size : {16, 32, 48, 128}) {
    icons = g_list_append(icons, gdk_pixbuf_scale_simple(icon, size, size, GDK_INTERP_BILINEAR));
  }
  gtk_window_set_icon_list(GTK_WINDOW(window_), icons);
  g_list_free_full(icons, g_object_unref);
  g_object_unref(icon);
}

void GtkHostWindow::AllowResize(const std::string& sizeName) {
  if (sizeName.empty() || sizeName.find('/') != std::string::npos) return;
  sizeName_ = sizeName;
  // The page's own size, set as the view's request, is the smallest the window gets.
  gtk_window_set_resizable(GTK_WINDOW(window_), TRUE);
  const std::filesystem::path file = SizeFile(sizeName_);
  if (file.empty()) return;
  int width = 0;
  int height = 0;
  std::ifstream in(file);
  if (!(in >> width >> height) || width <= 0 || height <= 0 || width > 20000 || height > 20000) {
    return;
  }
  gtk_window_resize(GTK_WINDOW(window_), width, height);
}

void GtkHostWindow::RememberSize() const {
  if (sizeName_.empty() || !gtk_widget_get_visible(window_)) return;
  const std::filesystem::path file = SizeFile(sizeName_);
  if (file.empty()) return;
  int width = 0;
  int height = 0;
  gtk_window_get_size(GTK_WINDOW(window_), &width, &height);
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  std::ofstream(file, std::ios::trunc) << width << ' ' << height << '\n';
}

void GtkHostWindow::SetSizeAndCenter(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  // A fixed window takes exactly the view's requested size; a resizable one never less.
  gtk_widget_set_size_request(GTK_WIDGET(view_), width, height);
  gtk_window_resize(GTK_WINDOW(window_), width, height);

  GdkDisplay* display = gtk_widget_get_display(window_);
  GdkRectangle area{0, 0, width, height};
  GtkWindow* over = parent_ != nullptr ? parent_->Window() : nullptr;
  if (over != nullptr && gtk_widget_get_visible(GTK_WIDGET(over))) {
    gtk_window_get_position(over, &area.x, &area.y);
    gtk_window_get_size(over, &area.width, &area.height);
  } else {
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
    if (monitor != nullptr) gdk_monitor_get_workarea(monitor, &area);
  }
  gtk_window_move(GTK_WINDOW(window_), area.x + (area.width - width) / 2,
                  area.y + (area.height - height) / 2);
}

int GtkHostWindow::RunModal() {
  if (endedBeforeRun_) {
    endedBeforeRun_ = false;
    return modalResult_;
  }
  GtkWidget* parent = parent_ != nullptr ? parent_->window_ : nullptr;
  if (parent != nullptr) gtk_widget_set_sensitive(parent, FALSE);
  gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
  modalResult_ = -1;
  modal_ = g_main_loop_new(nullptr, FALSE);
  const bool ended = loop_.RunNested(modal_);
  g_main_loop_unref(modal_);
  modal_ = nullptr;
  gtk_window_set_modal(GTK_WINDOW(window_), FALSE);
  if (parent != nullptr) gtk_widget_set_sensitive(parent, TRUE);
  return ended ? modalResult_ : -1;
}

void GtkHostWindow::EndModal(int result) {
  modalResult_ = result;
  if (modal_ != nullptr) {
    g_main_loop_quit(modal_);
  } else {
    endedBeforeRun_ = true;  // ended during set-up: RunModal returns at once
  }
}

GtkWindow* GtkHostWindow::VisibleAncestor() const {
  for (const GtkHostWindow* w = this; w != nullptr; w = w->parent_) {
    if (gtk_widget_get_visible(w->window_)) return w->Window();
  }
  return nullptr;
}

bool GtkHostWindow::Print() {
  WebKitPrintOperation* operation = webkit_print_operation_new(view_);
  const WebKitPrintOperationResponse response =
      webkit_print_operation_run_dialog(operation, VisibleAncestor());
  const bool started = response == WEBKIT_PRINT_OPERATION_RESPONSE_PRINT;
  if (started && printJob_ == nullptr) {
    // Kept until the job has been handed over; see the destructor.
    printJob_ = operation;
    g_signal_connect(operation, "finished", G_CALLBACK(OnPrintFinished), this);
  } else {
    g_object_unref(operation);
  }
  return started;
}

void GtkHostWindow::Cancel() {
  // The dialog may destroy this window while handling it: nothing of `this` is used afterwards.
  HostWindowEvents& events = events_;
  loop_.RunViewEvent([&events] { events.OnCancel(); });
}

gboolean GtkHostWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<GtkHostWindow*>(self)->Cancel();
  return TRUE;  // the dialog decides whether the window goes
}

gboolean GtkHostWindow::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
  if (event->keyval != GDK_KEY_Escape) return FALSE;
  static_cast<GtkHostWindow*>(self)->Cancel();
  return TRUE;
}

gboolean GtkHostWindow::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                       WebKitPolicyDecisionType type, gpointer self) {
  auto* window = static_cast<GtkHostWindow*>(self);
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    webkit_policy_decision_use(decision);
    return TRUE;
  }
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
    webkit_policy_decision_ignore(decision);  // no new windows
    return TRUE;
  }
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const std::string uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  const WebKitNavigationType kind = webkit_navigation_action_get_navigation_type(action);
  // Only the page the dialog asked for loads; links and forms are the dialog's commands.
  const bool asked =
      window->loading_ && kind == WEBKIT_NAVIGATION_TYPE_OTHER &&
      (window->blankUrl_.empty() ? window->policy_.Allows(uri) : uri == window->blankUrl_);
  if (asked) {
    webkit_policy_decision_use(decision);
  } else {
    webkit_policy_decision_ignore(decision);
  }
  return TRUE;
}

void GtkHostWindow::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  auto* window = static_cast<GtkHostWindow*>(self);
  if (event != WEBKIT_LOAD_FINISHED || !window->loading_) return;
  window->loading_ = false;
  if (!window->pending_.empty()) {
    window->Evaluate(view_bridge::ApplyScript(window->pending_));
    window->pending_.clear();
  }
  HostWindowEvents& events = window->events_;
  window->loop_.RunViewEvent([&events] { events.OnDocumentComplete(); });
}

void GtkHostWindow::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                    gpointer self) {
  auto* window = static_cast<GtkHostWindow*>(self);
  // Input from a page that is being replaced names nodes the dialog no longer has.
  if (window->loading_) return;
  JSCValue* message = webkit_javascript_result_get_js_value(result);
  if (!jsc_value_is_object(message)) return;
  const std::string kind = StringProperty(message, "kind");
  const std::string number = StringProperty(message, "n");
  ViewInput input;
  if (kind == "click") {
    input.kind = ViewInput::Kind::Click;
  } else if (kind == "change") {
    input.kind = ViewInput::Kind::Change;
  } else {
    return;
  }
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), input.node);
  if (ec != std::errc() || end != number.data() + number.size() || number.empty()) return;
  input.checked = BoolProperty(message, "checked");
  input.value = StringProperty(message, "value");
  HostWindowEvents& events = window->events_;
  window->loop_.RunViewEvent([&events, &input] { events.OnViewInput(input); });
}

}  // namespace corvane
