#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolButton>
#include <algorithm>
#include <utility>
#include <vector>

#include "model/instrument_state.h"
#include "ui/canvas_view.h"
#include "ui/layout_canvas.h"
#include "ui/layout_table.h"
#include "ui/main_window.h"
#include "ui/main_window_names.h"
#include "ui/operation_keys.h"
#include "ui/status_line.h"

// Building the window from the layout table; what the procedures see of it is in
// main_window.cpp.

namespace brevane {
namespace {

using namespace window_names;

constexpr int caption_margin_pixels = 2;

QString qname(std::string_view name) {
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// The captions were fitted to an 8-point dialog font at 96 dpi, that is 11 pixels; a larger
// default font would cut "Step 10" to "Step 1".
QFont dialog_font() {
  QFont font = QApplication::font();
  font.setPixelSize(11);
  return font;
}

QFont heading_font() {
  QFont font(QStringLiteral("Sans Serif"), 12, QFont::Bold);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace

main_window::main_window(const QString& icon_path, QWidget* parent)
    : main_window(nullptr, icon_path, parent) {}

main_window::main_window(instrument_state& settings, const QString& icon_path, QWidget* parent)
    : main_window(&settings, icon_path, parent) {}

main_window::main_window(instrument_state* shared, const QString& icon_path, QWidget* parent)
    : QMainWindow(parent),
      panel(shared) {
  setObjectName(QStringLiteral("mainform"));
  setWindowTitle(QStringLiteral("Brevane version 1.00"));
  if (!icon_path.isEmpty()) {
    QPixmap icon(icon_path);
    if (!icon.isNull()) setWindowIcon(QIcon(icon));
  }

  auto* client = new QWidget(this);
  client->setFont(dialog_font());
  const pixel_size area = client_pixels();
  client->setFixedSize(area.width, area.height);
  setCentralWidget(client);

  build_controls(client);
  build_menus();
  connect_controls();

  status_line_ = new status_line(this);
  statusBar()->addWidget(status_line_, 1);
  progress_label_ = new QLabel(this);
  progress_label_->setObjectName(QStringLiteral("progress"));
  statusBar()->addPermanentWidget(progress_label_);
  // Where the head was last sent, whichever way: sweep, jog, Home, Move Here, remote.
  position_label_ = new QLabel(this);
  position_label_->setObjectName(QStringLiteral("position"));
  position_label_->setToolTip(tr("The position the head was last sent to"));
  statusBar()->addPermanentWidget(position_label_);

  // Offered only while a sweep runs. F8 pauses and resumes as in debuggers; it clashes with no
  // standard key.
  pause_button_ = new QToolButton(this);
  pause_button_->setObjectName(QStringLiteral("pause"));
  pause_button_->setText(tr("Pause"));
  pause_button_->setToolTip(tr("Pause the sweep after the exchange in progress (F8)"));
  pause_button_->setAutoRaise(true);
  pause_button_->hide();
  statusBar()->addPermanentWidget(pause_button_);
  connect(pause_button_, &QToolButton::clicked, this, &main_window::pause_clicked);
  statusBar()->setSizeGripEnabled(false);

  // The controls never move, so the window keeps the size its parts need.
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  // Escape ends the operation in progress and F8 pauses the sweep wherever the focus is, here
  // and in the windows routed here; a control that would swallow the key never sees it.
  keys_ = new operation_keys(this);
  keys_->serve(this);
  connect(keys_, &operation_keys::escape_pressed, this, &main_window::escape_pressed);
  connect(keys_, &operation_keys::pause_pressed, this, [this] {
    if (pause_button_->isVisible()) emit pause_clicked();
  });

  follow_settings();
  settings_listener_ = settings().listen([this] { follow_settings(); });
}

main_window::~main_window() {
  settings().unlisten(settings_listener_);
}

void main_window::follow_settings() {
  instrument_state& s = settings();
  for (std::size_t i = 0; i < check_box_names.size(); ++i) {
    auto* box = qobject_cast<QCheckBox*>(control(QString::fromLatin1(check_box_names[i])));
    if (box && box->isChecked() != s.checked(static_cast<check_box>(i)))
      box->setChecked(s.checked(static_cast<check_box>(i)));
  }
  // A bar set here runs its change handler, as the operator's drag does.
  for (std::size_t i = 0; i < scroll_bar_names.size(); ++i) {
    auto* bar = qobject_cast<QScrollBar*>(control(QString::fromLatin1(scroll_bar_names[i])));
    if (bar && bar->value() != s.value(static_cast<scroll_bar>(i)))
      bar->setValue(s.value(static_cast<scroll_bar>(i)));
  }
  if (auto* option = qobject_cast<QAbstractButton*>(
          control(QStringLiteral("Option1(%1)").arg(s.step_index())));
      option && !option->isChecked())
    option->setChecked(true);
  for (const auto& [name, on] : {std::pair{"ldl", s.log_data()}, {"lil", s.log_images()}}) {
    QAction* item = menu_item(QString::fromLatin1(name));
    if (item && item->isChecked() != on) item->setChecked(on);
  }
  // The status bar's Pause button is there while a sweep runs, and reads "Resume" while paused.
  if (pause_button_) {
    pause_button_->setVisible(s.sweeping());
    const QString pause = s.pause_asked() || s.paused() ? tr("Resume") : tr("Pause");
    if (pause_button_->text() != pause) pause_button_->setText(pause);
  }
  const QString position = QString::fromStdString(s.position_text());
  if (position_label_ && position_label_->text() != position) position_label_->setText(position);
}

void main_window::build_controls(QWidget* client) {
  std::vector<std::pair<int, QWidget*>> focus_order;
  auto* steps = new QButtonGroup(this);
  steps->setObjectName(QStringLiteral("Option1"));

  for (const control_row& row : layout_controls()) {
    QWidget* container = row.container.empty() ? client : controls_.value(qname(row.container));
    if (!container) container = client;
    const QString caption = qname(row.caption);
    QWidget* widget = nullptr;

    switch (row.kind) {
      case control_kind::frame: {
        auto* frame = new QFrame(container);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        widget = frame;
        break;
      }
      case control_kind::check_box: {
        auto* box = new QCheckBox(caption, container);
        box->setChecked(row.value != 0);
        widget = box;
        break;
      }
      case control_kind::option_button: {
        auto* option = new QRadioButton(caption, container);
        steps->addButton(option, array_index("Option1", row.name).value_or(-1));
        option->setChecked(row.value != 0);
        widget = option;
        break;
      }
      case control_kind::label: {
        auto* label = new QLabel(caption, container);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (row.style == text_style::heading) label->setFont(heading_font());
        widget = label;
        break;
      }
      case control_kind::text_box: {
        if (row.name == "Text7") {
          // Two lines: inches, then feet.
          auto* box = new QPlainTextEdit(caption, container);
          box->setReadOnly(true);
          box->setLineWrapMode(QPlainTextEdit::NoWrap);
          box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
          box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
          box->document()->setDocumentMargin(1);
          widget = box;
        } else {
          auto* box = new QLineEdit(caption, container);
          box->setReadOnly(true);
          widget = box;
        }
        break;
      }
      case control_kind::scroll_bar: {
        auto* bar = new QScrollBar(Qt::Horizontal, container);
        bar->setRange(row.range_min, row.range_max);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->setValue(row.value);
        bar->setFocusPolicy(Qt::StrongFocus);
        // A scroll bar's keys are inverted by default, which on a horizontal bar sends the
        // right key left; the keys go the way of the bar's own arrow buttons.
        bar->setInvertedControls(false);
        widget = bar;
        break;
      }
      case control_kind::command_button:
        widget = new QPushButton(caption, container);
        break;
      case control_kind::picture_box: {
        const auto it = std::find(picture_names.begin(), picture_names.end(), row.name);
        const auto which = static_cast<picture>(it - picture_names.begin());
        widget = new canvas_view(pictures(which), container);
        break;
      }
      case control_kind::shape: {
        widget = new QWidget(container);
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, layout_colour(row.fill));
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
        break;
      }
    }

    const QString name = qname(row.name);
    widget->setObjectName(name);
    const pixel_rect g = pixel_geometry(row);
    int width = g.width;
    // Captions were fitted to a narrower font than most desktops have; a clipped "Step 10"
    // would read "Step 1". These controls are transparent, so growing them hides nothing.
    if (row.kind == control_kind::check_box || row.kind == control_kind::option_button ||
        row.kind == control_kind::label) {
      const int room = container->width() - caption_margin_pixels - g.x;
      width = widened_to_fit(g.width, widget->sizeHint().width(), room);
    }
    widget->setGeometry(g.x, g.y, width, g.height);
    // Rows come bottom first, so each new sibling goes on top.
    widget->raise();
    if (!row.visible) widget->hide();
    controls_.insert(name, widget);
    if (row.tab_index >= 0 && widget->focusPolicy() != Qt::NoFocus)
      focus_order.emplace_back(row.tab_index, widget);
  }

  for (int i = 0; i < 3; ++i) {
    views_[i] = controls_.value(QStringLiteral("view(%1)").arg(i));
    bars_[i] = controls_.value(QStringLiteral("dist1(%1)").arg(i));
  }
  for (std::size_t i = 0; i < text_box_names.size(); ++i)
    texts_[i] = std::string(find_control(text_box_names[i])->caption);

  std::stable_sort(focus_order.begin(), focus_order.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < focus_order.size(); ++i)
    QWidget::setTabOrder(focus_order[i - 1].second, focus_order[i].second);
}

void main_window::build_menus() {
  QHash<QString, QMenu*> menus;
  for (const menu_row& row : layout_menus()) {
    const QString name = qname(row.name);
    const QString caption = QString::fromStdString(with_mnemonic(row.caption, row.key));
    QAction* action = nullptr;
    if (row.parent.empty()) {
      if (opens_menu(row.name)) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(name);
        menus.insert(name, menu);
        action = menu->menuAction();
      } else {
        action = menuBar()->addAction(caption);
      }
    } else {
      QMenu* menu = menus.value(qname(row.parent));
      if (!menu) continue;
      action = menu->addAction(caption);
    }
    action->setObjectName(name);
    action->setCheckable(row.checkable);
    action->setEnabled(row.enabled);
    menu_items_.insert(name, action);
  }
  // The items the program added carry the platform's keys (Ctrl+O and Ctrl+S, or Command on
  // a Mac); Open Plan takes Shift with Open, which no standard command uses. The help page
  // takes the platform's help key, F1.
  menu_item(QStringLiteral("hlp"))->setShortcut(QKeySequence::HelpContents);
  menu_item(QStringLiteral("open_scan"))->setShortcut(QKeySequence::Open);
  menu_item(QStringLiteral("open_plan"))
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  menu_item(QStringLiteral("save_plan"))->setShortcut(QKeySequence::Save);
}

void main_window::connect_controls() {
  // Each control writes the instrument's settings first, so whatever its change reaches reads
  // the new value there.
  for (std::size_t i = 0; i < check_box_names.size(); ++i) {
    auto* box = qobject_cast<QCheckBox*>(control(QString::fromLatin1(check_box_names[i])));
    const auto which = static_cast<check_box>(i);
    connect(box, &QCheckBox::toggled, this, [this, which](bool on) {
      settings().set_checked(which, on);
    });
  }
  for (std::size_t i = 0; i < scroll_bar_names.size(); ++i) {
    auto* bar = qobject_cast<QScrollBar*>(control(QString::fromLatin1(scroll_bar_names[i])));
    const auto which = static_cast<scroll_bar>(i);
    connect(bar, &QScrollBar::valueChanged, this, [this, which](int v) {
      settings().set_value(which, v);
    });
  }
  connect(menu_item(QStringLiteral("ldl")), &QAction::toggled, this,
          [this](bool on) { settings().set_log_data(on); });
  connect(menu_item(QStringLiteral("lil")), &QAction::toggled, this,
          [this](bool on) { settings().set_log_images(on); });
  for (int i = 0; i < 4; ++i) {
    auto* jog = qobject_cast<QAbstractButton*>(control(QStringLiteral("arrow(%1)").arg(i)));
    connect(jog, &QAbstractButton::clicked, this, [this, i] { emit arrow_clicked(i); });
  }
  auto* steps = findChild<QButtonGroup*>(QStringLiteral("Option1"));
  connect(steps, &QButtonGroup::idClicked, this, [this](int index) {
    settings().set_step_index(index);
  });
  connect(steps, &QButtonGroup::idClicked, this, &main_window::step_chosen);

  const std::pair<const char*, void (main_window::*)()> buttons[] = {
      {"Command1", &main_window::home_clicked},
      {"Command8", &main_window::reset_temperature_clicked},
      {"Command9", &main_window::reset_distance_clicked},
      {"Command26", &main_window::sweep_clicked},
      {"readt", &main_window::temp_clicked},
      {"Command10", &main_window::distance_clicked},
      {"Command11", &main_window::static_read_clicked},
  };
  for (const auto& [name, signal] : buttons) {
    auto* button = qobject_cast<QAbstractButton*>(control(QString::fromLatin1(name)));
    connect(button, &QAbstractButton::clicked, this, signal);
  }

  for (std::size_t i = 0; i < scroll_bar_names.size(); ++i) {
    auto* bar = qobject_cast<QScrollBar*>(control(QString::fromLatin1(scroll_bar_names[i])));
    const auto which = static_cast<scroll_bar>(i);
    if (which == scroll_bar::gain) {
      connect(bar, &QScrollBar::valueChanged, this, &main_window::gain_changed);
    } else {
      connect(bar, &QScrollBar::valueChanged, this,
              [this, which](int v) { emit limit_changed(which, v); });
    }
  }

  connect(menu_item(QStringLiteral("exout")), &QAction::triggered, this, &main_window::exit_chosen);
  connect(menu_item(QStringLiteral("scopev")), &QAction::triggered, this, [this] { show_view(0); });
  connect(menu_item(QStringLiteral("histogramv")), &QAction::triggered, this,
          [this] { show_view(0); });
  connect(menu_item(QStringLiteral("Imagev")), &QAction::triggered, this, [this] { show_view(2); });
  connect(menu_item(QStringLiteral("mapsv")), &QAction::triggered, this, &main_window::maps_chosen);
  connect(menu_item(QStringLiteral("open_scan")), &QAction::triggered, this,
          &main_window::open_scan_chosen);
  connect(menu_item(QStringLiteral("resume_sweep")), &QAction::triggered, this,
          &main_window::resume_sweep_chosen);
  connect(menu_item(QStringLiteral("open_plan")), &QAction::triggered, this,
          &main_window::open_plan_chosen);
  connect(menu_item(QStringLiteral("save_plan")), &QAction::triggered, this,
          &main_window::save_plan_chosen);
  connect(menu_item(QStringLiteral("Vd")), &QAction::triggered, this, &main_window::view_data);
  connect(menu_item(QStringLiteral("open_data_folder")), &QAction::triggered, this,
          &main_window::view_data);
  connect(menu_item(QStringLiteral("upload_list")), &QAction::triggered, this,
          &main_window::upload_list_chosen);
  connect(menu_item(QStringLiteral("hlp")), &QAction::triggered, this, &main_window::open_help);
}

}  // namespace brevane
