#include "ui/qt/qt_backend.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QProxyStyle>
#include <QScreen>

#include <map>
#include <mutex>

#include "platform/codepage.h"
#include "ui/qt/qt_calls.h"
#include "ui/qt/qt_common_dialogs.h"
#include "ui/qt/qt_dialog.h"
#include "ui/qt/qt_traffic_list.h"
#include "ui/hub/change_observer.h"
#include "ui/hub/dialog_thread_hub.h"
#include "ui/hub/scripted_answers.h"

namespace tessaril::ui {

using platform::DialogHandle;
using platform::Rect;
using qt::DialogWindow;
using qt::TrafficList;

namespace {

// The windows of the live dialogs. GUI thread only.
std::map<DialogHandle, DialogWindow*>& windows() {
  static auto* w = new std::map<DialogHandle, DialogWindow*>;
  return *w;
}

DialogWindow* window_of(DialogHandle dialog) {
  auto it = windows().find(dialog);
  return (it == windows().end() || it->second->finished()) ? nullptr : it->second;
}

// Runs impl on the GUI thread with the control, or returns `absent` when the
// dialog has ended or has no such control.
template <typename R, typename F>
R on_control(DialogHandle dialog, int id, R absent, F impl) {
  R result = absent;
  hub::run_control_call(dialog, [&] {
    DialogWindow* w = window_of(dialog);
    if (!w) return;
    if (DialogWindow::Control* c = w->control(id)) result = impl(*w, *c);
  });
  return result;
}

template <typename F>
void on_window(DialogHandle dialog, F impl) {
  hub::run_control_call(dialog, [&] {
    if (DialogWindow* w = window_of(dialog)) impl(*w);
  });
}

TrafficList* list_of(DialogWindow::Control& c) { return dynamic_cast<TrafficList*>(c.widget); }

Rect rect_of(const QRect& r) { return Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

// ---- UiBackend entries -----------------------------------------------------

intptr_t qt_run_dialog(const platform::DialogTemplate& layout, DialogHandle owner, platform::DialogProc proc,
                       intptr_t init_param) {
  if (!qt::on_gui_thread()) return -1;
  const DialogHandle handle = qt::register_dialog(proc);
  auto* window = new DialogWindow(layout, window_of(owner), handle, proc);
  // The platform window exists before WM_INITDIALOG, so that the frame is
  // known (where the platform knows it before mapping) when the procedure
  // centres the dialog by its window rectangle.
  window->winId();
  windows()[handle] = window;
  qt::pump_started(handle);
  if (proc) proc(handle, platform::WM_INITDIALOG, 0, init_param);
  if (!window->finished()) {
    if (!window->isVisible()) window->show();
    QEventLoop loop;
    window->set_loop(&loop);
    loop.exec(QEventLoop::DialogExec);
    window->set_loop(nullptr);
  }
  const intptr_t result = window->result();
  qt::retire_dialog(handle);
  windows().erase(handle);
  delete window;
  return result;
}

void qt_end_dialog(DialogHandle dialog, intptr_t result) {
  hub::run_control_call(dialog, [&] {
    DialogWindow* w = window_of(dialog);
    if (!w) return;
    // Gone for posts and control calls from now on, as EndDialog makes it.
    qt::retire_dialog(dialog);
    w->finish(result);
  });
}

bool qt_set_text(DialogHandle dialog, int id, std::string_view text) {
  return on_control(dialog, id, false, [&](DialogWindow& w, DialogWindow::Control& c) {
    w.set_text(c, text);
    return true;
  });
}

std::string qt_text(DialogHandle dialog, int id) {
  return on_control(dialog, id, std::string(), [](DialogWindow& w, DialogWindow::Control& c) { return w.text(c); });
}

void qt_set_check(DialogHandle dialog, int id, bool checked) {
  on_control(dialog, id, 0, [&](DialogWindow& w, DialogWindow::Control& c) {
    w.set_checked(c, checked);
    return 0;
  });
}

bool qt_is_checked(DialogHandle dialog, int id) {
  return on_control(dialog, id, false, [](DialogWindow& w, DialogWindow::Control& c) { return w.checked(c); });
}

int qt_list_add(DialogHandle dialog, int id, std::string_view line) {
  return on_control(dialog, id, -1, [&](DialogWindow&, DialogWindow::Control& c) {
    TrafficList* l = list_of(c);
    return l ? l->add(line) : -1;
  });
}

int qt_list_delete(DialogHandle dialog, int id, int index) {
  return on_control(dialog, id, -1, [&](DialogWindow&, DialogWindow::Control& c) {
    TrafficList* l = list_of(c);
    return l ? l->remove(index) : -1;
  });
}

int qt_list_count(DialogHandle dialog, int id) {
  return on_control(dialog, id, 0, [](DialogWindow&, DialogWindow::Control& c) {
    TrafficList* l = list_of(c);
    return l ? l->count() : 0;
  });
}

void qt_list_set_selection(DialogHandle dialog, int id, int index) {
  on_control(dialog, id, 0, [&](DialogWindow&, DialogWindow::Control& c) {
    if (TrafficList* l = list_of(c)) l->select(index);
    return 0;
  });
}

std::string qt_list_item(DialogHandle dialog, int id, int index) {
  return on_control(dialog, id, std::string(), [&](DialogWindow&, DialogWindow::Control& c) {
    TrafficList* l = list_of(c);
    return l ? l->item(index) : std::string();
  });
}

void qt_show_control(DialogHandle dialog, int id, bool shown) {
  on_control(dialog, id, 0, [&](DialogWindow&, DialogWindow::Control& c) {
    c.widget->setVisible(shown);
    return 0;
  });
}

bool qt_is_shown(DialogHandle dialog, int id) {
  return on_control(dialog, id, false, [](DialogWindow&, DialogWindow::Control& c) { return !c.widget->isHidden(); });
}

uint32_t qt_get_style(DialogHandle dialog, int id) {
  return on_control(dialog, id, uint32_t{0}, [](DialogWindow& w, DialogWindow::Control& c) { return w.style(c); });
}

void qt_set_style(DialogHandle dialog, int id, uint32_t style) {
  on_control(dialog, id, 0, [&](DialogWindow& w, DialogWindow::Control& c) {
    w.set_style(c, style);
    return 0;
  });
}

// The whole client area is painted again (no erase), WM_PAINT included.
void qt_invalidate(DialogHandle dialog) {
  on_window(dialog, [](DialogWindow& w) { w.update(); });
}

// The screen is read on the GUI thread; elsewhere the last answer stands.
Rect qt_work_area() {
  static std::mutex mutex;
  static Rect last{0, 0, 1920, 1040};
  std::lock_guard lock(mutex);
  if (qt::on_gui_thread())
    if (QScreen* screen = QGuiApplication::primaryScreen()) last = rect_of(screen->availableGeometry());
  return last;
}

Rect qt_window_rect(DialogHandle dialog) {
  Rect r;
  on_window(dialog, [&](DialogWindow& w) { r = rect_of(w.frameGeometry()); });
  return r;
}

// The window keeps its size: the dialog's client area is fixed by its template.
void qt_move_window(DialogHandle dialog, const Rect& rect) {
  on_window(dialog, [&](DialogWindow& w) { w.move(rect.left, rect.top); });
}

void qt_show_window(DialogHandle dialog) {
  on_window(dialog, [](DialogWindow& w) {
    w.show();
    // A window system puts the window in front; the offscreen one has no front.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
      w.raise();
      w.activateWindow();
    }
  });
}

// The caption: CP932 in the program, the toolkit's text on the window.
bool qt_set_caption(DialogHandle dialog, std::string_view text) {
  bool found = false;
  const QString title = QString::fromStdString(platform::cp932_to_utf8(text));
  on_window(dialog, [&](DialogWindow& w) {
    w.setWindowTitle(title);
    found = true;
  });
  return found;
}

std::string qt_window_text(DialogHandle dialog) {
  std::string text;
  on_window(dialog, [&](DialogWindow& w) { text = platform::utf8_to_cp932(w.windowTitle().toStdString()); });
  return text;
}

// Over the window of the owner, or of the dialog on top without one.
QWidget* parent_for(DialogHandle owner) {
  if (!qt::on_gui_thread()) return nullptr;
  if (DialogWindow* w = window_of(owner)) return w;
  return window_of(hub::top_pump());
}

int qt_message_box(DialogHandle owner, std::string_view text, std::string_view caption, uint32_t flags) {
  return qt::message_box(owner, parent_for(owner), text, caption, flags);
}

bool qt_open_file(DialogHandle owner, std::string_view filter, std::string_view title, std::string& path) {
  return qt::open_file(parent_for(owner), filter, title, path);
}

const platform::UiBackend backend_table{
    .name = "qt",
    .run_dialog = qt_run_dialog,
    .end_dialog = qt_end_dialog,
    .post_message = qt::post_message,
    .set_text = observed::set_text<qt_set_text>,
    .get_text = hub::get_text<qt_text>,
    .set_check = qt_set_check,
    .is_checked = qt_is_checked,
    .list_add = observed::list_add<qt_list_add>,
    .list_delete = qt_list_delete,
    .list_count = qt_list_count,
    .list_set_selection = qt_list_set_selection,
    .list_item = qt_list_item,
    .show_control = qt_show_control,
    .is_shown = qt_is_shown,
    .get_style = qt_get_style,
    .set_style = qt_set_style,
    .invalidate = qt_invalidate,
    .work_area = qt_work_area,
    .window_rect = qt_window_rect,
    .move_window = qt_move_window,
    .show_window = qt_show_window,
    .message_box = qt_message_box,
    .open_file = qt_open_file,
    .set_window_text = observed::set_window_text<qt_set_caption>,
    .window_text = qt_window_text,
    .sleep_serving_calls = hub::sleep_serving_calls,
};

// ---- UiDriver entries ------------------------------------------------------

void drv_user_click(DialogHandle dialog, int id) {
  if (DialogWindow* w = qt::on_gui_thread() ? window_of(dialog) : nullptr) w->click(id);
}

intptr_t drv_send_message(DialogHandle dialog, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  platform::DialogProc proc = qt::dialog_proc(dialog);
  return proc ? proc(dialog, message, wparam, lparam) : 0;
}

DialogHandle drv_create_test_dialog(const platform::DialogTemplate& layout) {
  if (!qt::on_gui_thread()) return platform::NO_DIALOG;
  const DialogHandle handle = qt::register_dialog(nullptr);
  windows()[handle] = new DialogWindow(layout, nullptr, handle, nullptr);
  return handle;
}

void drv_destroy_test_dialog(DialogHandle dialog) {
  if (!qt::on_gui_thread()) return;
  qt::retire_dialog(dialog);
  auto it = windows().find(dialog);
  if (it == windows().end()) return;
  delete it->second;
  windows().erase(it);
}

const UiDriver driver_table{
    .name = "qt",
    .run_on_dialog_thread = hub::run_on_dialog_thread,
    .top_dialog = hub::top_pump,
    .wait_for_dialog = hub::wait_for_pump,
    .dialog_alive = qt::dialog_live,
    .user_click = drv_user_click,
    .send_message = drv_send_message,
    .queued_items = hub::queued_items,
    .push_open_file_answer = scripted::push_open_file_answer,
    .message_boxes = scripted::message_boxes,
    .set_change_observer = observed::set_change_observer,
    .create_test_dialog = drv_create_test_dialog,
    .destroy_test_dialog = drv_destroy_test_dialog,
    .take_posted_messages = qt::take_test_posts,
};

// The classic look the dialog templates were drawn for (group box frames
// through their titles, sunken edges) with the dialog manager's spacing: a
// check box's text starts 3 pixels after its box, and an edit's border takes
// one pixel a side, so the editor's 12-unit byte entries keep room for two
// digits.
class DialogStyle : public QProxyStyle {
 public:
  DialogStyle() : QProxyStyle(QStringLiteral("Windows")) {}
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    switch (metric) {
      case PM_CheckBoxLabelSpacing:
      case PM_RadioButtonLabelSpacing:
        return 3;
      case PM_DefaultFrameWidth:
        if (qobject_cast<const QLineEdit*>(widget)) return 1;
        break;
      default:
        break;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

}  // namespace

void prepare_qt_application() {
  QApplication::setStyle(new DialogStyle);  // the application owns it
  QApplication::setFont(qt::dialog_font());
  // The program ends when the port dialog ends, not when a window closes
  // (a message box closing over hidden dialogs would quit every loop).
  QApplication::setQuitOnLastWindowClosed(false);
}

const platform::UiBackend& qt_backend() { return backend_table; }
const UiDriver& qt_driver() { return driver_table; }
void install_qt_backend() { platform::set_ui_backend(&backend_table); }
void set_qt_automatic_answers(bool automatic) { scripted::set_automatic(automatic); }
QWidget* qt_dialog_window(DialogHandle dialog) { return qt::on_gui_thread() ? window_of(dialog) : nullptr; }

}  // namespace tessaril::ui
