#include "platform/message_box.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xutil.h>

#include <cstdio>

namespace VantorGL::platform {
namespace {

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

struct Box {
  const std::string& text;
  const std::string& caption;
  unsigned style;

  bool yesNo() const { return (style & 0xF) == MB_YESNO; }
  unsigned icon() const { return style & 0xF0; }
  // What Escape, the close button and a box that cannot be shown answer.
  int escapeAnswer() const { return yesNo() ? IDNO : IDOK; }
};

// One line, even for a text with line breaks.
void WriteLine(const Box& box) {
  std::string text = box.text;
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), text.c_str());
  std::fflush(stderr);
}

// The program's window on screen, if any: the shown window whose GL context is
// current. Every box the program raises while it has a window comes while
// drawing or loading into it; hidden windows (tests, capture) own nothing.
SDL_Window* OwnerWindow() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return nullptr;
  SDL_Window* window = SDL_GL_GetCurrentWindow();
  if (!window) return nullptr;
  const Uint32 flags = SDL_GetWindowFlags(window);
  if (!(flags & SDL_WINDOW_SHOWN) || (flags & SDL_WINDOW_HIDDEN)) return nullptr;
  return window;
}

// The owner's X window, 0 when it has none (another video driver).
unsigned long X11Window(SDL_Window* window) {
  if (!window) return 0;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  return static_cast<unsigned long>(info.info.x11.window);
}

// False when SDL could not show the box.
bool ShowSdlBox(const Box& box, SDL_Window* owner, int& answer) {
  Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
  if (box.icon() == MB_ICONSTOP) flags = SDL_MESSAGEBOX_ERROR;
  else if (box.icon() == MB_ICONEXCLAMATION) flags = SDL_MESSAGEBOX_WARNING;

  SDL_MessageBoxButtonData buttons[2];
  int count = 0;
  if (box.yesNo()) {
    // SDL lists buttons right to left on X11; Return answers Yes, Escape No.
    buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"};
    buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"};
  } else {
    buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                        IDOK, "OK"};
  }
  const SDL_MessageBoxData data{flags, owner, box.caption.c_str(), box.text.c_str(), count, buttons, nullptr};
  int id = -1;
  if (SDL_ShowMessageBox(&data, &id) != 0) return false;
  answer = id < 0 ? box.escapeAnswer() : id;  // closed without a button
  return true;
}

// --- The GTK box ---------------------------------------------------------------

bool GtkReady() {
  if (gdk_display_get_default()) return true;
  // The program's window is an X window (XWayland under Wayland): the box goes
  // to the same server so it can be made transient for it. The program's
  // locale stays as it is.
  gdk_set_allowed_backends("x11,*");
  gtk_disable_setlocale();
  return gtk_init_check(nullptr, nullptr);
}

struct GtkRun {
  GMainLoop* loop = nullptr;
  int answer = 0;
  int escapeAnswer = IDOK;
};

constexpr const char* kAnswerKey = "vantor-answer";

void Finish(GtkRun& run, int answer) {
  if (run.answer != 0) return;
  run.answer = answer;
  g_main_loop_quit(run.loop);
}

void OnButton(GtkButton* button, gpointer data) {
  Finish(*static_cast<GtkRun*>(data), GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), kAnswerKey)));
}

gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
  if (event->keyval != GDK_KEY_Escape) return FALSE;
  auto& run = *static_cast<GtkRun*>(data);
  Finish(run, run.escapeAnswer);
  return TRUE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  auto& run = *static_cast<GtkRun*>(data);
  Finish(run, run.escapeAnswer);
  return TRUE;  // destroyed by ShowGtkBox
}

// Without a window manager nobody else gives the box the keyboard: it takes it
// once mapped (GDK sets the X input focus itself when no manager answers).
gboolean OnMapped(GtkWidget* window, GdkEvent*, gpointer) {
  gdk_window_focus(gtk_widget_get_window(window), GDK_CURRENT_TIME);
  return FALSE;
}

GtkWidget* AddButton(GtkWidget* row, const char* label, int answer, GtkRun& run) {
  GtkWidget* button = gtk_button_new_with_label(label);
  g_object_set_data(G_OBJECT(button), kAnswerKey, GINT_TO_POINTER(answer));
  g_signal_connect(button, "clicked", G_CALLBACK(OnButton), &run);
  gtk_container_add(GTK_CONTAINER(row), button);
  return button;
}

const char* IconName(unsigned icon) {
  switch (icon) {
    case MB_ICONSTOP: return "dialog-error";
    case MB_ICONEXCLAMATION: return "dialog-warning";
    case MB_ICONINFORMATION: return "dialog-information";
    default: return nullptr;
  }
}

// False when GTK cannot open the display.
bool ShowGtkBox(const Box& box, unsigned long ownerX11, int& answer) {
  if (!GtkReady()) return false;
  GtkRun run;
  run.loop = g_main_loop_new(nullptr, FALSE);
  run.escapeAnswer = box.escapeAnswer();

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), box.caption.c_str());
  gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
  gtk_container_set_border_width(GTK_CONTAINER(window), 12);

  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  GtkWidget* message = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  const char* iconName = IconName(box.icon());
  if (iconName && gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), iconName))
    gtk_container_add(GTK_CONTAINER(message), gtk_image_new_from_icon_name(iconName, GTK_ICON_SIZE_DIALOG));
  GtkWidget* label = gtk_label_new(box.text.c_str());
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  gtk_container_add(GTK_CONTAINER(message), label);
  gtk_container_add(GTK_CONTAINER(column), message);

  GtkWidget* row = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(row), GTK_BUTTONBOX_END);
  gtk_box_set_spacing(GTK_BOX(row), 6);
  GtkWidget* preferred;
  if (box.yesNo()) {
    preferred = AddButton(row, "Yes", IDYES, run);
    AddButton(row, "No", IDNO, run);
  } else {
    preferred = AddButton(row, "OK", IDOK, run);
  }
  gtk_container_add(GTK_CONTAINER(column), row);
  gtk_container_add(GTK_CONTAINER(window), column);

  // Return presses the focused button: Yes (or OK) until the viewer moves on.
  gtk_widget_set_can_default(preferred, TRUE);
  gtk_window_set_default(GTK_WINDOW(window), preferred);
  gtk_window_set_focus(GTK_WINDOW(window), preferred);
  g_signal_connect(window, "key-press-event", G_CALLBACK(OnKey), &run);
  g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), &run);
  g_signal_connect(window, "map-event", G_CALLBACK(OnMapped), nullptr);

  // The owner is another client's window (SDL's own X connection): the hint
  // goes straight onto the box's X window before it is mapped, which keeps the
  // box above its owner, a full-screen one included.
  gtk_widget_realize(window);
  GdkWindow* gdkWindow = gtk_widget_get_window(window);
  if (ownerX11 != 0 && GDK_IS_X11_WINDOW(gdkWindow))
    XSetTransientForHint(GDK_WINDOW_XDISPLAY(gdkWindow), GDK_WINDOW_XID(gdkWindow), ownerX11);

  gtk_widget_show_all(window);
  g_main_loop_run(run.loop);

  gtk_widget_destroy(window);
  g_main_loop_unref(run.loop);
  // Let GTK unmap the box now, before the caller goes on (or ends).
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  gdk_display_flush(gdk_display_get_default());
  answer = run.answer;
  return true;
}

}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) { Handler() = std::move(handler); }

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) {
  const Box box{text, caption, style};
  WriteLine(box);
  if (Handler()) return Handler()(text, caption, style);

  SDL_Window* owner = OwnerWindow();
  int answer = 0;
  if (ShowSdlBox(box, owner, answer)) return answer;
  if (ShowGtkBox(box, X11Window(owner), answer)) return answer;
  return box.escapeAnswer();
}

}  // namespace VantorGL::platform
