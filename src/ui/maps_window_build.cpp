// Building the Maps window: its controls in a sensible tab order, each label's mnemonic, its
// menus with the platform's keys, and the choices and place remembered from the last run.

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>
#include <iterator>
#include <tuple>
#include <utility>

#include "ui/cycle_list.h"
#include "ui/maps_alarms.h"
#include "ui/maps_picture_view.h"
#include "ui/maps_window.h"
#include "ui/maps_window_names.h"
#include "ui/window_fit.h"

namespace brevane {

using namespace maps_window_names;

namespace {

// One end of a range; its prefix says which and its suffix the unit.
QDoubleSpinBox* range_end(QWidget* parent, const char* name, const QString& prefix, double value) {
  auto* field = new QDoubleSpinBox(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setRange(-99999.0, 99999.0);
  field->setDecimals(1);
  field->setPrefix(prefix);
  field->setValue(value);
  field->setEnabled(false);
  field->setKeyboardTracking(false);
  return field;
}

QComboBox* choice(QWidget* parent, const char* name, const QStringList& items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->addItems(items);
  return box;
}

}  // namespace

maps_window::maps_window(reading_stream& stream, QWidget* parent)
    : QWidget(parent, Qt::Window), stream_(stream) {
  setObjectName(QStringLiteral("maps_window"));
  setWindowTitle(QString::fromLatin1(live_caption));

  repaint_timer_.setSingleShot(true);
  repaint_timer_.setInterval(repaint_interval_ms);
  connect(&repaint_timer_, &QTimer::timeout, this, &maps_window::refresh);
  // The first change after a paint starts the timer; the ones until it fires ride along.
  listener_.on_change = [this] {
    if (isVisible() && !record_ && !repaint_timer_.isActive()) repaint_timer_.start();
  };
  stream_.add(listener_);

  build_controls();
  build_menus();
  restore_choices();
  resize(1040, 600);
  restoreGeometry(QSettings().value(QLatin1String(geometry_key)).toByteArray());
  place_on_screen();
}

maps_window::~maps_window() {
  stream_.remove(listener_);
}

void maps_window::build_controls() {
  palette_ = choice(this, "palette", {QStringLiteral("Colour"), QStringLiteral("Grey")});
  cycle_ = choice(this, "cycle", {});
  cycle_->setModel(new cycle_list(QStringLiteral("Live"), cycle_));
  auto* save = new QPushButton(QStringLiteral("Save Pict&ure\u2026"), this);
  save->setObjectName(QStringLiteral("save_picture"));
  readout_ = new QLabel(QString::fromLatin1(off_cells_hint), this);
  readout_->setObjectName(QStringLiteral("readout"));
  readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Selecting with the mouse must not leave an invisible focus in the readout.
  readout_->setFocusPolicy(Qt::NoFocus);

  const auto label = [this](const QString& caption, QWidget* buddy) {
    auto* l = new QLabel(caption, this);
    l->setBuddy(buddy);
    return l;
  };
  auto* top = new QHBoxLayout;
  top->addWidget(label(QStringLiteral("&Palette"), palette_));
  top->addWidget(palette_);
  top->addWidget(label(QStringLiteral("C&ycle"), cycle_));
  top->addWidget(cycle_);
  build_tools();
  top->addWidget(label(QStringLiteral("Co&mpare with"), compare_));
  top->addWidget(compare_);
  top->addStretch();
  top->addWidget(column_);
  top->addWidget(save);

  thermal_mode_ = choice(this, "thermal_range", {QStringLiteral("Auto"), QStringLiteral("Fixed")});
  thermal_low_ = range_end(this, "thermal_from", QStringLiteral("from "), 60.0);
  thermal_high_ = range_end(this, "thermal_to", QStringLiteral("to "), 100.0);
  sonic_mode_ = choice(this, "sonic_range", {QStringLiteral("Auto"), QStringLiteral("Fixed")});
  sonic_low_ = range_end(this, "sonic_from", QStringLiteral("from "), 0.0);
  sonic_high_ = range_end(this, "sonic_to", QStringLiteral("to "), 150.0);
  // One row a map, so that the window stays narrow enough for a small screen.
  auto* ranges = new QGridLayout;
  const std::tuple<const char*, QComboBox*, QDoubleSpinBox*, QDoubleSpinBox*> rows[] = {
      {"&Thermal range", thermal_mode_, thermal_low_, thermal_high_},
      {"&Sonic range", sonic_mode_, sonic_low_, sonic_high_}};
  for (int r = 0; r < 2; ++r) {
    const auto& [caption, mode, low, high] = rows[r];
    ranges->addWidget(label(QString::fromLatin1(caption), mode), r, 0);
    ranges->addWidget(mode, r, 1);
    ranges->addWidget(low, r, 2);
    ranges->addWidget(high, r, 3);
  }
  ranges->setColumnStretch(4, 1);

  view_ = new picture_view(*this);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(ranges);
  alarms_ = new maps_alarms(this);
  layout->addWidget(alarms_);
  // The region's statistics beside the maps, the profile under them.
  auto* maps_row = new QHBoxLayout;
  maps_row->addWidget(view_, 1);
  maps_row->addWidget(region_stats_);
  layout->addLayout(maps_row, 1);
  layout->addWidget(profile_);
  layout->addWidget(readout_);
  state_line_ = new QLabel(this);
  state_line_->setObjectName(QStringLiteral("state_line"));
  state_line_->setFocusPolicy(Qt::NoFocus);
  pause_ = new QPushButton(QStringLiteral("Pause"), this);
  pause_->setObjectName(QStringLiteral("pause"));
  pause_->setToolTip(QStringLiteral("Pause the sweep after the exchange in progress (F8)"));
  pause_->hide();
  connect(pause_, &QPushButton::clicked, this, &maps_window::pause_clicked);
  auto* state_row = new QHBoxLayout;
  state_row->addWidget(state_line_, 1);
  state_row->addWidget(pause_);
  layout->addLayout(state_row);

  // Left to right, top to bottom, as the controls read.
  QWidget* const order[] = {palette_,    cycle_,        compare_,     column_,
                            save,        thermal_mode_, thermal_low_, thermal_high_,
                            sonic_mode_, sonic_low_,    sonic_high_,  view_};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  for (QComboBox* mode : {thermal_mode_, sonic_mode_})
    connect(mode, &QComboBox::currentIndexChanged, this,
            [this, mode] { range_mode_changed(mode); });
  for (QDoubleSpinBox* field : {thermal_low_, thermal_high_, sonic_low_, sonic_high_})
    connect(field, &QDoubleSpinBox::valueChanged, this, [this] { repaint_picture(); });
  connect(palette_, &QComboBox::currentIndexChanged, this, [this] { repaint_picture(); });
  connect(cycle_, &QComboBox::currentIndexChanged, this, [this] { repaint_picture(); });
  connect(save, &QPushButton::clicked, this, &maps_window::choose_save_file);
}

void maps_window::build_menus() {
  auto* menus = new QMenuBar(this);
  qobject_cast<QVBoxLayout*>(layout())->setMenuBar(menus);
  QMenu* file = menus->addMenu(QStringLiteral("&File"));
  const auto item = [this](QMenu* menu, const char* name, const QString& text, auto slot,
                           const QKeySequence& key = {}) {
    QAction* a = menu->addAction(text, this, slot);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(key);
    return a;
  };
  // The platform's keys; Export has none of its own, and Ctrl+E is taken by nothing here.
  item(file, "open_scan", QStringLiteral("&Open Scan\u2026"), &maps_window::open_scan_chosen,
       QKeySequence::Open);
  item(file, "save_picture", QStringLiteral("&Save Picture\u2026"), &maps_window::choose_save_file,
       QKeySequence::Save);
  item(file, "export", QStringLiteral("&Export\u2026"), &maps_window::choose_export,
       QKeySequence(Qt::CTRL | Qt::Key_E));
  file->addSeparator();
  item(file, "close", QStringLiteral("&Close"), &QWidget::close, QKeySequence::Close);

  QMenu* view = menus->addMenu(QStringLiteral("&View"));
  const auto pair = [&](const char* first_name, const QString& first, const char* second_name,
                        const QString& second, auto on_choice) {
    auto* group = new QActionGroup(this);
    QAction* a = item(view, first_name, first, [on_choice] { on_choice(true); });
    QAction* b = item(view, second_name, second, [on_choice] { on_choice(false); });
    for (QAction* x : {a, b}) {
      x->setCheckable(true);
      group->addAction(x);
    }
    a->setChecked(true);
    view->addSeparator();
    return std::pair{a, b};
  };
  std::tie(equal_scales_, fill_) =
      pair("equal_scales", QStringLiteral("&Equal Scales"), "fill", QStringLiteral("Fi&ll"),
           [this](bool equal) { set_shape(equal ? map_shape::equal_scales : map_shape::fill); });
  // Each pair of units changes its own half of the units shown.
  const auto units_choice = [this](auto change) {
    return [this, change](bool first) {
      display_units u = units_;
      change(u, first);
      set_units(u);
    };
  };
  std::tie(fahrenheit_, celsius_) =
      pair("fahrenheit", QStringLiteral("Temperature in °&F"), "celsius",
           QStringLiteral("Temperature in °&C"), units_choice([](display_units& u, bool f) {
             u.temperature = f ? temperature_unit::fahrenheit : temperature_unit::celsius;
           }));
  std::tie(inches_, millimetres_) =
      pair("inches", QStringLiteral("Distance in &Inches"), "millimetres",
           QStringLiteral("Distance in &Millimetres"), units_choice([](display_units& u, bool in) {
             u.distance = in ? distance_unit::inches : distance_unit::millimetres;
           }));

  QMenu* region = menus->addMenu(QStringLiteral("&Region"));
  sweep_region_ = item(region, "sweep_region", QStringLiteral("&Sweep This Region"),
                       &maps_window::sweep_region);
  clear_region_ = item(region, "clear_region", QStringLiteral("&Clear Region"),
                       [this] { set_region(std::nullopt); });
  set_region(std::nullopt);

  QMenu* help = menus->addMenu(QStringLiteral("&Help"));
  item(help, "help_page", QStringLiteral("&Help Page"), &maps_window::help_chosen,
       QKeySequence::HelpContents);
  item(help, "about", QStringLiteral("&About Brevane"), &maps_window::about_chosen);
}

void maps_window::restore_choices() {
  const QSettings settings;
  display_units units;
  if (settings.value(QLatin1String(temperature_key)).toString() == QLatin1String("C"))
    units.temperature = temperature_unit::celsius;
  if (settings.value(QLatin1String(distance_key)).toString() == QLatin1String("mm"))
    units.distance = distance_unit::millimetres;
  // The fields start in °F and inches; set_units converts them.
  set_units(units);
  set_shape(settings.value(QLatin1String(shape_key)).toString() == QLatin1String("fill")
                ? map_shape::fill
                : map_shape::equal_scales);
}

void maps_window::place_on_screen() {
  const QScreen* on = QGuiApplication::screenAt(geometry().center());
  if (!on) on = screen();
  if (!on) return;
  // Before it is first shown the frame is not known; a usual title bar and border stand in.
  QMargins frame(
      frameGeometry().left() - geometry().left(), frameGeometry().top() - geometry().top(),
      frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
  if (frame.isNull()) frame = QMargins(4, 30, 4, 4);
  setGeometry(fit_on_screen(geometry(), on->availableGeometry(), frame, minimumSizeHint()));
}

}  // namespace brevane
