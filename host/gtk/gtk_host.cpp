#include "host/gtk/gtk_host.h"

#include <glib-unix.h>

#include "host/gtk/gtk_host_window.h"

namespace corvane {

namespace {

struct BoxButtons {
  GtkButtonsType gtk;
  int onClose;  // the answer when the box is closed without a button
};

BoxButtons ButtonsFor(unsigned style) {
  switch (style & 0xFu) {
    case MB_OKCANCEL:
      return {GTK_BUTTONS_OK_CANCEL, IDCANCEL};
    case MB_YESNO:
      return {GTK_BUTTONS_YES_NO, IDNO};
    case MB_YESNOCANCEL:
      return {GTK_BUTTONS_NONE, IDCANCEL};  // buttons added by hand
    default:
      return {GTK_BUTTONS_OK, IDOK};
  }
}

GtkMessageType IconFor(unsigned style) {
  switch (style & 0xF0u) {
    case MB_ICONERROR:
      return GTK_MESSAGE_ERROR;
    case MB_ICONQUESTION:
      return GTK_MESSAGE_QUESTION;
    case MB_ICONEXCLAMATION:
      return GTK_MESSAGE_WARNING;
    case MB_ICONINFORMATION:
      return GTK_MESSAGE_INFO;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

int AnswerFor(int response, int onClose) {
  switch (response) {
    case GTK_RESPONSE_OK:
      return IDOK;
    case GTK_RESPONSE_CANCEL:
      return IDCANCEL;
    case GTK_RESPONSE_YES:
      return IDYES;
    case GTK_RESPONSE_NO:
      return IDNO;
    default:
      return onClose;
  }
}

struct BoxRun {
  GMainLoop* loop;
  int response = GTK_RESPONSE_NONE;
};

}  // namespace

std::unique_ptr<GtkHost> GtkHost::Create(const std::filesystem::path& programFolder) {
  if (!gtk_init_check(nullptr, nullptr)) return nullptr;
  return std::unique_ptr<GtkHost>(new GtkHost(programFolder));
}

GtkHost::GtkHost(const std::filesystem::path& programFolder)
    : policy_(programFolder), context_(webkit_web_context_new_ephemeral()) {
  webkit_web_context_set_cache_model(context_, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
}

GtkHost::~GtkHost() {
  g_object_unref(context_);
}

std::unique_ptr<HostWindow> GtkHost::CreateWindow(HostWindowEvents& events, HostWindow* parent) {
  return std::make_unique<GtkHostWindow>(loop_, policy_, context_, events,
                                         dynamic_cast<GtkHostWindow*>(parent));
}

int GtkHost::MessageBox(HostWindow* parent, const std::string& text, const std::string& caption,
                        unsigned style) {
  auto* owner = dynamic_cast<GtkHostWindow*>(parent);
  GtkWindow* over = owner != nullptr && gtk_widget_get_visible(GTK_WIDGET(owner->Window()))
                        ? owner->Window()
                        : nullptr;
  const BoxButtons buttons = ButtonsFor(style);
  // "%s": the text is shown as it is, never read as a format or as markup.
  GtkWidget* box = gtk_message_dialog_new(
      over, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      IconFor(style), buttons.gtk, "%s", text.c_str());
  if ((style & 0xFu) == MB_YESNOCANCEL) {
    gtk_dialog_add_buttons(GTK_DIALOG(box), "_Yes", GTK_RESPONSE_YES, "_No", GTK_RESPONSE_NO,
                           "_Cancel", GTK_RESPONSE_CANCEL, nullptr);
  }
  gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
  if (over == nullptr) gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);

  BoxRun run{g_main_loop_new(nullptr, FALSE)};
  g_signal_connect(box, "response", G_CALLBACK(+[](GtkDialog*, gint response, gpointer data) {
                     auto* run = static_cast<BoxRun*>(data);
                     run->response = response;
                     g_main_loop_quit(run->loop);
                   }),
                   &run);
  gtk_widget_show(box);
  const bool answered = loop_.RunNested(run.loop);
  g_signal_handlers_disconnect_by_data(box, &run);
  gtk_widget_destroy(box);
  g_main_loop_unref(run.loop);
  return answered ? AnswerFor(run.response, buttons.onClose) : buttons.onClose;
}

void GtkHost::WaitFor(const Event& done) {
  // Each iteration blocks until some source is ready; the worker's posted task is one.
  while (!done.IsSet() && !loop_.HasQuit()) g_main_context_iteration(nullptr, TRUE);
}

bool GtkHost::OpenExternal(const std::string& target, std::function<void()> onFailed) {
  // A leading "-" would reach xdg-open as an option.
  if (target.empty() || target.front() == '-') {
    if (onFailed) onFailed();
    return false;
  }
  gchar* argv[] = {const_cast<gchar*>("xdg-open"), const_cast<gchar*>(target.c_str()), nullptr};
  GError* error = nullptr;
  GPid child = 0;
  const bool started = g_spawn_async(
      nullptr, argv, nullptr,
      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                               G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
      nullptr, nullptr, &child, &error);
  if (!started) {
    g_warning("cannot open %s: %s", target.c_str(), error->message);
    g_error_free(error);
    if (onFailed) onFailed();
    return false;
  }
  // xdg-open says with its exit status whether a program took the target; it may wait for that
  // program first, so the answer comes on the main loop, whenever it comes.
  g_child_watch_add_full(
      G_PRIORITY_DEFAULT, child,
      +[](GPid pid, gint status, gpointer data) {
        auto* failed = static_cast<std::function<void()>*>(data);
        if (!g_spawn_check_wait_status(status, nullptr) && *failed) (*failed)();
        g_spawn_close_pid(pid);
      },
      new std::function<void()>(std::move(onFailed)),
      +[](gpointer data) { delete static_cast<std::function<void()>*>(data); });
  return true;
}

}  // namespace corvane
