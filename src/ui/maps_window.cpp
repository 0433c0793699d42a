#include "ui/maps_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <functional>

namespace brevane {

namespace {

// Repaints follow the readings at most this often: 30 a second.
constexpr int repaint_interval_ms = 33;
constexpr const char* geometry_key = "maps_window/geometry";
constexpr const char* off_cells_hint = "Point at a cell to read it.";

}  // namespace

// Shows the picture at its own size, and reports where the pointer is.
class maps_window::picture_view : public QWidget {
  Q_OBJECT

 public:
  explicit picture_view(maps_window& owner) : QWidget(&owner), owner_(owner) {
    setMouseTracking(true);
    setMinimumSize(480, 260);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, owner_.picture_);
  }
  void resizeEvent(QResizeEvent*) override { owner_.repaint_picture(); }
  void mouseMoveEvent(QMouseEvent* event) override { owner_.hover(event->position().toPoint()); }
  void leaveEvent(QEvent*) override {
    owner_.readout_->setText(QString::fromLatin1(off_cells_hint));
  }

 private:
  maps_window& owner_;
};

namespace {

QDoubleSpinBox* number_field(QWidget* parent, double value) {
  auto* field = new QDoubleSpinBox(parent);
  field->setRange(-9999.0, 9999.0);
  field->setDecimals(1);
  field->setValue(value);
  field->setEnabled(false);
  return field;
}

}  // namespace

maps_window::maps_window(reading_stream& stream, QWidget* parent)
    : QWidget(parent, Qt::Window), stream_(stream) {
  setObjectName(QStringLiteral("maps_window"));
  setWindowTitle(QStringLiteral("Brevane Maps"));

  repaint_timer_.setSingleShot(true);
  repaint_timer_.setInterval(repaint_interval_ms);
  connect(&repaint_timer_, &QTimer::timeout, this, &maps_window::refresh);
  // The first change after a paint starts the timer; the ones until it fires ride along.
  listener_.on_change = [this] {
    if (isVisible() && !record_ && !repaint_timer_.isActive()) repaint_timer_.start();
  };
  stream_.add(listener_);

  palette_ = new QComboBox(this);
  palette_->setObjectName(QStringLiteral("palette"));
  palette_->addItems({QStringLiteral("Colour"), QStringLiteral("Grey")});
  cycle_ = new QComboBox(this);
  cycle_->addItem(QStringLiteral("Live"));
  auto* save = new QPushButton(QStringLiteral("Save Picture…"), this);
  readout_ = new QLabel(QString::fromLatin1(off_cells_hint), this);
  readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* top = new QHBoxLayout;
  auto add_labelled = [this](QHBoxLayout* row, const QString& caption, QWidget* w) {
    auto* label = new QLabel(caption, this);
    label->setBuddy(w);
    row->addWidget(label);
    row->addWidget(w);
  };
  add_labelled(top, QStringLiteral("&Palette"), palette_);
  add_labelled(top, QStringLiteral("C&ycle"), cycle_);
  top->addStretch();
  top->addWidget(save);

  auto range_row = [&](QHBoxLayout* row, const QString& caption, QComboBox*& mode,
                       QDoubleSpinBox*& low, QDoubleSpinBox*& high, double from, double to) {
    mode = new QComboBox(this);
    mode->addItems({QStringLiteral("Auto"), QStringLiteral("Fixed")});
    low = number_field(this, from);
    high = number_field(this, to);
    add_labelled(row, caption, mode);
    add_labelled(row, QStringLiteral("from"), low);
    add_labelled(row, QStringLiteral("to"), high);
    connect(mode, &QComboBox::currentIndexChanged, this, [this, mode, low, high](int index) {
      const bool fixed = index == 1;
      low->setEnabled(fixed);
      high->setEnabled(fixed);
      // Fixing starts from what Auto showed, so the picture does not jump.
      if (fixed) {
        const map_kind kind = mode == thermal_mode_ ? map_kind::thermal : map_kind::sonic;
        if (const auto r = shown_range(cell_geometry(shown(), chosen_cycle()), kind)) {
          const QSignalBlocker b1(low), b2(high);
          low->setValue(r->low);
          high->setValue(r->high);
        }
      }
      repaint_picture();
    });
    for (QDoubleSpinBox* field : {low, high})
      connect(field, &QDoubleSpinBox::valueChanged, this, [this] { repaint_picture(); });
  };
  auto* ranges = new QHBoxLayout;
  range_row(ranges, QStringLiteral("&Thermal range"), thermal_mode_, thermal_low_, thermal_high_,
            60.0, 100.0);
  ranges->addSpacing(16);
  range_row(ranges, QStringLiteral("&Sonic range"), sonic_mode_, sonic_low_, sonic_high_, 0.0,
            150.0);
  ranges->addStretch();

  view_ = new picture_view(*this);
  auto* layout = new QVBoxLayout(this);
  auto* menus = new QMenuBar(this);
  layout->setMenuBar(menus);
  QAction* export_action =
      menus->addMenu(QStringLiteral("&File"))
          ->addAction(QStringLiteral("&Export\u2026"), this, &maps_window::choose_export);
  export_action->setObjectName(QStringLiteral("export"));
  layout->addLayout(top);
  layout->addLayout(ranges);
  layout->addWidget(view_, 1);
  layout->addWidget(readout_);

  connect(palette_, &QComboBox::currentIndexChanged, this, [this] { repaint_picture(); });
  connect(cycle_, &QComboBox::currentIndexChanged, this, [this] { repaint_picture(); });
  connect(save, &QPushButton::clicked, this, &maps_window::choose_save_file);

  resize(1040, 600);
  restoreGeometry(QSettings().value(QLatin1String(geometry_key)).toByteArray());
}

maps_window::~maps_window() {
  stream_.remove(listener_);
}

void maps_window::open() {
  if (record_) {
    record_.reset();
    setWindowTitle(QStringLiteral("Brevane Maps"));
    cycle_->setItemText(0, QStringLiteral("Live"));
    listener_.take_change();
    update_cycles();
    repaint_picture();
  }
  show();
  raise();
  activateWindow();
}

void maps_window::show_readings(const QString& caption, maps_data data, std::optional<int> cycle,
                                const QString& note, const QString& record_path) {
  record_ = std::move(data);
  shown_record_ = record_path;
  setWindowTitle(QStringLiteral("Brevane Maps \u2014 ") + caption);
  cycle_->setItemText(0, QStringLiteral("Latest"));
  update_cycles();
  {
    const QSignalBlocker block(cycle_);
    const int wanted = cycle.value_or(record_->cycles());
    const int index = cycle_->findData(wanted);
    if (index >= 0) cycle_->setCurrentIndex(index);
  }
  if (!note.isEmpty()) readout_->setText(note);
  repaint_picture();
  show();
  raise();
}

std::optional<int> maps_window::chosen_cycle() const {
  const int index = cycle_->currentIndex();
  if (index <= 0) return std::nullopt;
  return cycle_->itemData(index).toInt();
}

maps_style maps_window::style() const {
  maps_style s;
  s.colours = palette_->currentIndex() == 1 ? palette_kind::grey : palette_kind::colour;
  s.thermal = {thermal_mode_->currentIndex() == 0, thermal_low_->value(), thermal_high_->value()};
  s.sonic = {sonic_mode_->currentIndex() == 0, sonic_low_->value(), sonic_high_->value()};
  return s;
}

void maps_window::hover(QPoint at) {
  const auto hit = cell_at(shown(), chosen_cycle(), picture_.size(), at);
  readout_->setText(hit ? readout_text(hit->cell) : QString::fromLatin1(off_cells_hint));
}

QString maps_window::readout() const {
  return readout_->text();
}

bool maps_window::save_picture(const QString& path) {
  const std::string why = save_png(picture_, path);
  readout_->setText(why.empty() ? QStringLiteral("Saved the picture to %1").arg(path)
                                : QString::fromStdString(why));
  return why.empty();
}

void maps_window::choose_save_file() {
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Picture"),
                                              QDir::home().filePath(QStringLiteral("maps.png")),
                                              QStringLiteral("PNG pictures (*.png)"));
  if (path.isEmpty()) return;
  if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) path += QLatin1String(".png");
  save_picture(path);
}

QString maps_window::export_record() const {
  if (record_) return shown_record_;
  return live_record_ ? live_record_() : QString();
}

bool maps_window::export_to(export_format format, const QString& path) {
  std::string why;
  if (format == export_format::png) {
    why = save_png(render_maps(shown(), chosen_cycle(), QSize(1200, 600), style()), path);
  } else if (const QString record = export_record(); record.isEmpty()) {
    why = "There is no scan record to export yet; every sweep writes one.";
  } else {
    // The cycle chosen, or the last one when the latest readings are shown.
    why = export_scan(record, format, path, chosen_cycle());
  }
  readout_->setText(why.empty() ? QStringLiteral("Exported to %1").arg(path)
                                : QString::fromStdString(why));
  return why.empty();
}

void maps_window::choose_export() {
  const QString record = export_record();
  QStringList filters;
  for (const export_choice& c : export_choices) filters << QLatin1String(c.filter);
  QString filter = filters.front();
  const QString proposed = record.isEmpty() ? QDir::home().filePath(QStringLiteral("maps.nxs"))
                                            : proposed_export_name(record, export_format::nexus);
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export"), proposed,
                                              filters.join(QStringLiteral(";;")), &filter);
  if (path.isEmpty()) return;
  // A name ending in one of the formats' extensions says the format; otherwise the filter does.
  const export_choice* c = &export_choices[std::max<qsizetype>(0, filters.indexOf(filter))];
  for (const export_choice& other : export_choices)
    if (path.endsWith(QLatin1String(other.extension), Qt::CaseInsensitive)) c = &other;
  if (!path.endsWith(QLatin1String(c->extension), Qt::CaseInsensitive))
    path += QLatin1String(c->extension);
  export_to(c->format, path);
}

void maps_window::refresh() {
  repaint_timer_.stop();
  if (!listener_.take_change() && !picture_.isNull()) return;
  update_cycles();
  repaint_picture();
}

void maps_window::update_cycles() {
  const int have = cycle_->count() - 1;
  const int cycles = shown().cycles();
  if (cycles == have) return;
  const QSignalBlocker block(cycle_);
  const auto chosen = chosen_cycle();
  while (cycle_->count() > 1) cycle_->removeItem(cycle_->count() - 1);
  for (int n = 1; n <= cycles; ++n) cycle_->addItem(QStringLiteral("Cycle %1").arg(n), n);
  cycle_->setCurrentIndex(chosen && *chosen <= cycles ? *chosen : 0);
}

void maps_window::repaint_picture() {
  picture_ = render_maps(shown(), chosen_cycle(), view_->size(), style());
  view_->update();
}

void maps_window::showEvent(QShowEvent* event) {
  // Readings that came while it was closed are painted now.
  refresh();
  QWidget::showEvent(event);
}

void maps_window::closeEvent(QCloseEvent* event) {
  repaint_timer_.stop();
  remember_place();
  QWidget::closeEvent(event);
}

void maps_window::remember_place() const {
  QSettings().setValue(QLatin1String(geometry_key), saveGeometry());
}

}  // namespace brevane

#include "maps_window.moc"
