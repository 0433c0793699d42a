#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/about.h"
#include "ui/layout_table.h"
#include "ui/main_window_names.h"
#include "ui/operation_keys.h"
#include "ui/status_line.h"

namespace brevane {
namespace {

using namespace window_names;

constexpr int smallest_text_px = 7;

// The width a line edit gives its text: inside its frame and its margins of two pixels.
int text_room(const QLineEdit* box) {
  QStyleOptionFrame frame;
  frame.initFrom(box);
  frame.rect = box->rect();
  frame.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box);
  const QRect contents = box->style()->subElementRect(QStyle::SE_LineEditContents, &frame, box);
  const QMargins margins = box->textMargins();
  return contents.width() - margins.left() - margins.right() - 4;
}

// The box keeps its laid-out size; its text takes the largest font that lets it fit whole.
void fit_font(QLineEdit* box) {
  QFont font = box->parentWidget()->font();
  const int largest = font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height();
  const QString text = box->text();
  font.setPixelSize(fitting_font_px(largest, smallest_text_px, text_room(box), [&](int px) {
    QFont f = font;
    f.setPixelSize(px);
    return QFontMetrics(f).horizontalAdvance(text);
  }));
  box->setFont(font);
}

// The distance box gets a CR LF between its lines; a plain text box wants a bare line feed.
QString shown_text(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

}  // namespace

void main_window::set_checked(check_box box, bool ticked) {
  if (auto* widget =
          qobject_cast<QCheckBox*>(control(check_box_names[static_cast<std::size_t>(box)])))
    widget->setChecked(ticked);
}

void main_window::set_value(scroll_bar bar, int value) {
  // The bar's change signal runs the same handler as a drag, which fills the value box.
  if (auto* widget =
          qobject_cast<QScrollBar*>(control(scroll_bar_names[static_cast<std::size_t>(bar)])))
    widget->setValue(value);
}

void main_window::choose_step(int index) {
  // A click, so the button group reports the choice exactly as the operator's click does.
  if (auto* option =
          qobject_cast<QAbstractButton*>(control(QStringLiteral("Option1(%1)").arg(index))))
    option->click();
}

void main_window::set_text(text_box box, const std::string& text) {
  const auto index = static_cast<std::size_t>(box);
  if (index >= texts_.size()) return;
  texts_[index] = text;
  QWidget* widget = control(text_box_names[index]);
  if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    line->setText(shown_text(text));
    fit_font(line);
    // A long value shows its beginning, as the operator reads it.
    line->setCursorPosition(0);
  } else if (auto* lines = qobject_cast<QPlainTextEdit*>(widget)) {
    lines->setPlainText(shown_text(text));
  }
}

std::string main_window::text(text_box box) const {
  const auto index = static_cast<std::size_t>(box);
  return index < texts_.size() ? texts_[index] : std::string();
}

void main_window::set_caption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

std::string main_window::caption() const {
  return windowTitle().toStdString();
}

void main_window::set_bar_top(int index, float twips) {
  if (index < 0 || index >= static_cast<int>(bars_.size()) || !bars_[index]) return;
  const auto top = bar_top_pixels(twips);
  if (!top) return;
  bars_[index]->move(bars_[index]->x(), *top);
}

canvas& main_window::pictures(picture which) {
  return pictures_.at(which);
}

void main_window::show_status(const std::string& message) {
  show_status_text(QString::fromStdString(message));
}

void main_window::show_status_text(const QString& message) {
  status_line_->set_message(message);
}

std::string main_window::status() const {
  return status_text().toStdString();
}

void main_window::show_progress(const std::string& progress) {
  progress_label_->setText(QString::fromStdString(progress));
}

QString main_window::status_text() const {
  return status_line_->message();
}

QString main_window::progress_text() const {
  return progress_label_->text();
}

QString main_window::position_text() const {
  return position_label_->text();
}

void main_window::set_device_controls_enabled(bool enabled) {
  for (const char* name : device_button_names) {
    if (QWidget* button = control(QString::fromLatin1(name))) button->setEnabled(enabled);
  }
}

void main_window::set_remote_status(const QString& text) {
  if (!remote_label_) {
    remote_label_ = new QLabel(this);
    remote_label_->setObjectName(QStringLiteral("remote"));
    statusBar()->addPermanentWidget(remote_label_);
  }
  remote_label_->setText(text);
  remote_label_->setVisible(!text.isEmpty());
}

QString main_window::remote_status() const {
  return remote_label_ ? remote_label_->text() : QString();
}

void main_window::show_view(int index) {
  if (index < 0 || index >= static_cast<int>(views_.size())) return;
  // The chosen view appears before the others go, so the area is never blank.
  views_[index]->show();
  for (int i : {1, 0, 2}) {
    if (i != index) views_[i]->hide();
  }
}

void main_window::set_log_data(bool on) {
  menu_item(QStringLiteral("ldl"))->setChecked(on);
}

void main_window::set_log_images(bool on) {
  menu_item(QStringLiteral("lil"))->setChecked(on);
}

void main_window::set_data_folder(const QString& path) {
  data_folder_ = path;
}

void main_window::set_help_page(const QString& path) {
  help_page_ = path;
}

void main_window::view_data() {
  open_location(data_folder_, tr("the data folder"));
}

void main_window::open_help() {
  // A page that is not there is said as for the data folder.
  if (help_page_.isEmpty() || !QFileInfo::exists(help_page_))
    return open_location(help_page_, tr("the help page"));
  if (QDesktopServices::openUrl(QUrl::fromLocalFile(help_page_))) return;
  // No browser here: the page opens in a window of the program's own.
  show_help_window();
}

void main_window::show_help_window() {
  if (!help_window_) {
    help_window_ = new QDialog(this);
    help_window_->setObjectName(QStringLiteral("help_window"));
    help_window_->setWindowTitle(tr("Brevane Help"));
    auto* page = new QTextBrowser(help_window_);
    page->setObjectName(QStringLiteral("help_page"));
    page->setOpenExternalLinks(true);
    page->setSource(QUrl::fromLocalFile(help_page_));
    auto* layout = new QVBoxLayout(help_window_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page);
    help_window_->resize(720, 640);
  }
  help_window_->show();
  help_window_->raise();
  show_status_text(tr("The help page is open in a window of its own: no browser was found."));
}

void main_window::open_location(const QString& path, const QString& what) {
  if (path.isEmpty()) {
    show_status_text(tr("Cannot open %1: its location is not known").arg(what));
    return;
  }
  // A missing target would only make the desktop show an error of its own, or nothing.
  if (!QFileInfo::exists(path)) {
    show_status_text(tr("Cannot open %1: %2 does not exist").arg(what, path));
    return;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
    show_status_text(tr("Cannot open %1 (%2): no program to open it").arg(what, path));
}

QWidget* main_window::control(const QString& name) const {
  return controls_.value(name);
}

QAction* main_window::menu_item(const QString& name) const {
  return menu_items_.value(name);
}

void main_window::closeEvent(QCloseEvent* event) {
  emit close_requested();
  event->accept();
}

void main_window::route_operation_keys(QWidget* window) {
  keys_->serve(window);
}

void main_window::show_about(QWidget* parent) {
  auto* box = new QMessageBox(QMessageBox::NoIcon, tr("About Brevane"), about_text(),
                              QMessageBox::Ok, parent);
  box->setObjectName(QStringLiteral("about_box"));
  box->setIconPixmap(windowIcon().pixmap(64, 64));
  box->setTextInteractionFlags(Qt::TextSelectableByMouse);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

}  // namespace brevane
