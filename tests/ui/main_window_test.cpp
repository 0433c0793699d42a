#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "common/version.h"
#include "device/usb_heads.h"
#include "model/canvas.h"
#include "ui/canvas_view.h"
#include "ui/layout_table.h"

namespace brevane {
namespace {

template <class T>
T* widget(const main_window& w, const QString& name) {
  auto* found = qobject_cast<T*>(w.control(name));
  EXPECT_NE(found, nullptr) << name.toStdString();
  return found;
}

QString indexed(const char* array, int i) {
  return QStringLiteral("%1(%2)").arg(array).arg(i);
}

int visible_view(const main_window& w) {
  int shown = -1;
  int count = 0;
  for (int i = 0; i < 3; ++i) {
    if (!w.control(indexed("view", i))->isHidden()) {
      shown = i;
      ++count;
    }
  }
  return count == 1 ? shown : -1;
}

void choose(main_window& w, const char* item) {
  w.menu_item(QString::fromLatin1(item))->trigger();
}

void process_events_for(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(MainWindowStart, ShowsTheStartStateOfTheLayout) {
  main_window w;
  EXPECT_EQ(w.caption(), "Brevane version 1.00");
  EXPECT_EQ(visible_view(w), 0);

  EXPECT_TRUE(w.checked(check_box::repeat));
  for (auto box : {check_box::stop, check_box::sonic_off, check_box::temp_off, check_box::x_off,
                   check_box::z_off})
    EXPECT_FALSE(w.checked(box));

  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(widget<QRadioButton>(w, indexed("Option1", i))->isChecked(), i == 4) << i;
  EXPECT_EQ(widget<QRadioButton>(w, "Option1(4)")->text(), "Step 10");

  EXPECT_FALSE(w.log_data_checked());
  EXPECT_FALSE(w.log_images_checked());
  EXPECT_FALSE(w.menu_item("scopev")->isEnabled());
  // The caption as written, one letter underlined.
  EXPECT_EQ(w.menu_item("histogramv")->iconText(), "Historgram");
  EXPECT_EQ(w.menu_item("histogramv")->text(), "&Historgram");
}

TEST(MainWindowStart, ValueBoxesShowTheScrollBarValues) {
  main_window w;
  EXPECT_EQ(w.text(text_box::x_min_text), "100");
  EXPECT_EQ(w.text(text_box::x_max_text), "255");
  EXPECT_EQ(w.text(text_box::z_min_text), "140");
  EXPECT_EQ(w.text(text_box::z_max_text), "200");
  EXPECT_EQ(w.text(text_box::gain_text), "10");
  EXPECT_EQ(widget<QLineEdit>(w, "gaind")->text(), "10");
  EXPECT_EQ(w.value(scroll_bar::xmin), 100);
  EXPECT_EQ(w.value(scroll_bar::xmax), 255);
  EXPECT_EQ(w.value(scroll_bar::zmin), 140);
  EXPECT_EQ(w.value(scroll_bar::zmax), 200);
  EXPECT_EQ(w.value(scroll_bar::gain), 10);
  EXPECT_EQ(w.text(text_box::min_temperature_text), "");
  EXPECT_EQ(w.text(text_box::distance_text), "");
}

TEST(MainWindowGeometry, ClientAreaIsFixedAndControlsSitInTheirFrames) {
  main_window w;
  EXPECT_EQ(w.centralWidget()->size(), QSize(784, 298));
  EXPECT_EQ(w.centralWidget()->minimumSize(), w.centralWidget()->maximumSize());

  QWidget* sweep = widget<QPushButton>(w, "Command26");
  EXPECT_EQ(sweep->parentWidget(), w.control("Frame6"));
  EXPECT_EQ(sweep->geometry(), QRect(8, 120, 153, 25));
  EXPECT_EQ(sweep->objectName(), "Command26");
  EXPECT_EQ(w.control("Frame7")->geometry(), QRect(104, 152, 321, 145));
  EXPECT_EQ(w.control("SCOPE")->parentWidget(), w.control("Frame4(0)"));
}

TEST(MainWindowGeometry, OverlapsShowTheUpperControl) {
  main_window w;
  QWidget* positioning = w.control("Frame3");
  // Home covers the lower part of "^" and the upper part of "v".
  EXPECT_EQ(positioning->childAt(64, 50), w.control("Command1"));
  EXPECT_EQ(positioning->childAt(64, 80), w.control("Command1"));
  EXPECT_EQ(positioning->childAt(64, 20), w.control("arrow(0)"));
  EXPECT_EQ(positioning->childAt(64, 110), w.control("arrow(2)"));

  QWidget* images = w.control("Frame4(2)");
  const QRect label = w.control("Label6")->geometry();
  EXPECT_EQ(images->childAt(label.center().x(), label.top()), w.control("Picture1"));
}

TEST(MainWindowGeometry, CaptionsAreNotCutShort) {
  main_window w;
  for (const char* name : {"Option1(4)", "Option1(5)", "sonicoff", "Label1", "Label6"}) {
    QWidget* control = w.control(name);
    EXPECT_GE(control->width(), control->sizeHint().width()) << name;
    EXPECT_LE(control->geometry().right(), control->parentWidget()->width()) << name;
  }
}

TEST(MainWindowGeometry, ReadingsFitTheirBoxesWholeInASmallerFont) {
  main_window w;
  const struct {
    text_box box;
    const char* name;
    const char* text;
    bool smaller;
  } rows[] = {
      {text_box::min_distance_text, "dmind", "3.22 feet", true},
      {text_box::max_distance_text, "dmaxd", "10.04 feet", true},
      {text_box::max_distance_text, "dmaxd", "999.99 feet", true},
      {text_box::max_temperature_text, "maxtd", "100.25f", false},
      {text_box::temperature_text, "Text16", "70.22f", false},
      {text_box::min_distance_text, "dmind", "3.2", false},
  };
  for (const auto& r : rows) {
    w.set_text(r.box, r.text);
    auto* box = widget<QLineEdit>(w, r.name);
    const pixel_rect laid_out = pixel_geometry(*find_control(r.name));
    EXPECT_EQ(box->size(), QSize(laid_out.width, laid_out.height)) << r.name;
    // A text wider than its box scrolls when the cursor goes to its end; painting places it.
    const auto cursor_x = [box] {
      box->grab();
      return box->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    };
    box->setCursorPosition(0);
    const int start = cursor_x();
    box->setCursorPosition(static_cast<int>(std::strlen(r.text)));
    EXPECT_EQ(cursor_x() - start, QFontMetrics(box->font()).horizontalAdvance(r.text)) << r.text;
    box->setCursorPosition(0);
    EXPECT_EQ(box->font().pixelSize() < 11, r.smaller) << r.text;
    EXPECT_GE(box->font().pixelSize(), 7) << r.text;
  }
}

TEST(MainWindowGeometry, Text7ShowsBothLines) {
  main_window w;
  const std::string two_lines = "100. Inches  \r\n8.33 feet";
  w.set_text(text_box::distance_text, two_lines);
  auto* box = widget<QPlainTextEdit>(w, "Text7");
  EXPECT_EQ(box->toPlainText(), "100. Inches  \n8.33 feet");
  const int margins = 2 * static_cast<int>(box->document()->documentMargin());
  EXPECT_GE(box->viewport()->height() - margins, 2 * box->fontMetrics().lineSpacing());
  EXPECT_EQ(w.text(text_box::distance_text), two_lines);
}

TEST(MainWindowGeometry, TabFollowsTheLaidOutFocusOrder) {
  main_window w;
  auto next = [&](const char* name) { return w.control(name)->nextInFocusChain(); };
  EXPECT_EQ(next("Option1(0)"), w.control("Option1(1)"));
  EXPECT_EQ(next("Option1(5)"), w.control("arrow(0)"));  // frames take no focus
  EXPECT_EQ(next("arrow(3)"), w.control("Command1"));
  EXPECT_EQ(next("Command26"), w.control("xmin"));
  EXPECT_EQ(next("Command10"), w.control("readt"));
}

TEST(MainWindowScrollBars, StayWithinTheirRangesAndMoveByOne) {
  main_window w;
  struct range {
    const char* name;
    scroll_bar bar;
    int low;
    int high;
  };
  for (const range& r :
       {range{"xmin", scroll_bar::xmin, 100, 140}, range{"xmax", scroll_bar::xmax, 180, 255},
        range{"zmin", scroll_bar::zmin, 120, 160}, range{"zmax", scroll_bar::zmax, 170, 200},
        range{"gain", scroll_bar::gain, 1, 40}}) {
    auto* bar = widget<QScrollBar>(w, r.name);
    bar->setValue(r.high + 1000);
    EXPECT_EQ(w.value(r.bar), r.high) << r.name;
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(w.value(r.bar), r.high) << r.name;
    bar->setValue(r.low - 1000);
    EXPECT_EQ(w.value(r.bar), r.low) << r.name;
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(w.value(r.bar), r.low + 1) << r.name;
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(w.value(r.bar), r.low + 2) << r.name;
    // The arrow keys go the way of the arrow buttons.
    for (const auto& [key, want] : {std::pair{Qt::Key_Right, r.low + 3}, {Qt::Key_Left, r.low + 2}}) {
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(bar, &press);
      EXPECT_EQ(w.value(r.bar), want) << r.name;
    }
  }
}

TEST(MainWindowScrollBars, ReportWhichLimitChanged) {
  main_window w;
  std::vector<std::pair<scroll_bar, int>> limits;
  std::vector<int> gains;
  QObject::connect(&w, &main_window::limit_changed,
                   [&](scroll_bar bar, int v) { limits.emplace_back(bar, v); });
  QObject::connect(&w, &main_window::gain_changed, [&](int v) { gains.push_back(v); });
  widget<QScrollBar>(w, "zmax")->setValue(180);
  widget<QScrollBar>(w, "gain")->setValue(12);
  ASSERT_EQ(limits.size(), 1u);
  EXPECT_EQ(limits[0], std::make_pair(scroll_bar::zmax, 180));
  EXPECT_EQ(gains, std::vector<int>{12});
}

TEST(MainWindowClicks, FileMenuKeysFollowThePlatformAndClashWithNothing) {
  main_window w;
  EXPECT_EQ(w.menu_item("open_scan")->shortcut(), QKeySequence(QKeySequence::Open));
  EXPECT_EQ(w.menu_item("save_plan")->shortcut(), QKeySequence(QKeySequence::Save));
  EXPECT_EQ(w.menu_item("open_plan")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  std::vector<QKeySequence> keys;
  for (QAction* item : w.findChildren<QAction*>())
    if (!item->shortcut().isEmpty()) keys.push_back(item->shortcut());
  for (QShortcut* key : w.findChildren<QShortcut*>()) keys.push_back(key->key());
  EXPECT_EQ(keys.size(), 4u) << "three File items and the help page's F1";
  for (std::size_t i = 0; i < keys.size(); ++i)
    for (std::size_t j = i + 1; j < keys.size(); ++j)
      EXPECT_NE(keys[i], keys[j]) << keys[i].toString().toStdString();
  // Escape cancels a wait, wherever the focus is; no menu key may take it.
  for (const QKeySequence& key : keys) EXPECT_NE(key, QKeySequence(Qt::Key_Escape));
}

TEST(MainWindowClicks, ArraysReportTheirOwnIndex) {
  main_window w;
  std::vector<int> jogs;
  std::vector<int> steps;
  QObject::connect(&w, &main_window::arrow_clicked, [&](int i) { jogs.push_back(i); });
  QObject::connect(&w, &main_window::step_chosen, [&](int i) { steps.push_back(i); });
  for (const char* name : {"arrow(2)", "arrow(0)", "arrow(3)", "arrow(1)"})
    widget<QPushButton>(w, name)->click();
  EXPECT_EQ(jogs, (std::vector<int>{2, 0, 3, 1}));
  EXPECT_EQ(widget<QPushButton>(w, "arrow(0)")->text(), "^");

  for (int i : {0, 5, 2}) widget<QRadioButton>(w, indexed("Option1", i))->click();
  EXPECT_EQ(steps, (std::vector<int>{0, 5, 2}));
  EXPECT_TRUE(widget<QRadioButton>(w, "Option1(2)")->isChecked());
  EXPECT_FALSE(widget<QRadioButton>(w, "Option1(4)")->isChecked());
}

TEST(MainWindowClicks, EachButtonRaisesItsOwnCommand) {
  main_window w;
  std::vector<std::string> heard;
  auto note = [&](const char* what) { return [&heard, what] { heard.emplace_back(what); }; };
  QObject::connect(&w, &main_window::home_clicked, note("home"));
  QObject::connect(&w, &main_window::reset_temperature_clicked, note("reset t"));
  QObject::connect(&w, &main_window::reset_distance_clicked, note("reset d"));
  QObject::connect(&w, &main_window::sweep_clicked, note("sweep"));
  QObject::connect(&w, &main_window::temp_clicked, note("temp"));
  QObject::connect(&w, &main_window::distance_clicked, note("distance"));
  QObject::connect(&w, &main_window::static_read_clicked, note("static"));
  QObject::connect(&w, &main_window::exit_chosen, note("exit"));
  QObject::connect(&w, &main_window::upload_list_chosen, note("upload"));
  for (const char* name :
       {"Command1", "Command8", "Command9", "Command26", "readt", "Command10", "Command11"})
    widget<QPushButton>(w, name)->click();
  choose(w, "exout");
  choose(w, "upload_list");
  EXPECT_EQ(heard, (std::vector<std::string>{"home", "reset t", "reset d", "sweep", "temp",
                                             "distance", "static", "exit", "upload"}));
}

TEST(MainWindowClicks, EscapeIsHeardWhereverTheFocusIs) {
  main_window w;
  int escapes = 0;
  QObject::connect(&w, &main_window::escape_pressed, [&] { ++escapes; });
  for (const char* name : {"xmind", "Text7", "Command26", "gain", "repeat"}) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(w.control(name), &press);
  }
  EXPECT_EQ(escapes, 5);

  QWidget elsewhere;
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&elsewhere, &press);
  QKeyEvent other(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(w.control("xmind"), &other);
  EXPECT_EQ(escapes, 5);
}

TEST(MainWindowClicks, ClosingTheWindowIsAnnounced) {
  main_window w;
  int closes = 0;
  QObject::connect(&w, &main_window::close_requested, [&] { ++closes; });
  EXPECT_TRUE(w.close());
  EXPECT_EQ(closes, 1);
}

TEST(MainWindowDeviceControls, DisablingTouchesOnlyTheDeviceButtons) {
  main_window w;
  const QStringList device{"readt",    "Command10", "Command11", "Command26", "Command1",
                           "arrow(0)", "arrow(1)",  "arrow(2)",  "arrow(3)"};
  w.set_device_controls_enabled(false);
  for (QWidget* child : w.centralWidget()->findChildren<QWidget*>()) {
    if (child->objectName().isEmpty() || !w.control(child->objectName())) continue;
    EXPECT_EQ(child->isEnabled(), !device.contains(child->objectName()))
        << child->objectName().toStdString();
  }
  for (QAction* item : w.menuBar()->actions()) EXPECT_TRUE(item->isEnabled());
  EXPECT_TRUE(w.menu_item("histogramv")->isEnabled());

  w.set_device_controls_enabled(true);
  for (const QString& name : device)
    EXPECT_TRUE(w.control(name)->isEnabled()) << name.toStdString();
}

TEST(MainWindowViews, MenuCommandsSwitchTheDisplayArea) {
  main_window w;
  choose(w, "Imagev");
  EXPECT_EQ(visible_view(w), 2);
  choose(w, "Imagev");
  EXPECT_EQ(visible_view(w), 2);
  choose(w, "histogramv");
  EXPECT_EQ(visible_view(w), 0);
  choose(w, "Imagev");
  choose(w, "scopev");  // unavailable: nothing happens
  EXPECT_EQ(visible_view(w), 2);
  w.show_view(7);
  EXPECT_EQ(visible_view(w), 2);
}

TEST(MainWindowLogs, TogglesAreIndependentAndReturnToOff) {
  main_window w;
  choose(w, "ldl");
  EXPECT_TRUE(w.log_data_checked());
  EXPECT_FALSE(w.log_images_checked());
  choose(w, "ldl");
  EXPECT_FALSE(w.log_data_checked());

  choose(w, "lil");
  EXPECT_TRUE(w.log_images_checked());
  EXPECT_FALSE(w.log_data_checked());

  w.set_log_data(true);
  w.set_log_images(false);
  EXPECT_TRUE(w.menu_item("ldl")->isChecked());
  EXPECT_FALSE(w.menu_item("lil")->isChecked());
}

TEST(MainWindowOpen, MissingTargetsAreReportedNotOpened) {
  main_window w;
  w.view_data();
  EXPECT_TRUE(w.status_text().contains("data folder")) << w.status_text().toStdString();
  w.show_status("");
  w.set_data_folder(QStringLiteral("/no such folder/data"));
  choose(w, "open_data_folder");
  EXPECT_EQ(w.status_text(), "Cannot open the data folder: /no such folder/data does not exist");

  QTemporaryDir dir;
  const QString gone = dir.path() + "/no such help.html";
  w.set_help_page(gone);
  choose(w, "hlp");
  EXPECT_TRUE(w.status_text().contains("help page")) << w.status_text().toStdString();
  EXPECT_TRUE(w.status_text().contains(gone)) << w.status_text().toStdString();

  // With no browser to open it, the page opens in a window of the program's own.
  if (!QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
    GTEST_SKIP() << "a browser is there to open the page";
  QFile page(dir.filePath("help.html"));
  ASSERT_TRUE(page.open(QIODevice::WriteOnly));
  page.write("<h1>Brevane Help</h1>");
  page.close();
  w.set_help_page(page.fileName());
  choose(w, "hlp");
  auto* shown = w.findChild<QTextBrowser*>(QStringLiteral("help_page"));
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->isVisible());
  EXPECT_TRUE(shown->toPlainText().contains("Brevane Help"));
}

TEST(MainWindowOpen, AboutNamesTheVersionsAndTheLicence) {
  main_window w;
  w.show_about(&w);
  auto* box = w.findChild<QMessageBox*>(QStringLiteral("about_box"));
  ASSERT_NE(box, nullptr);
  for (const QString& part :
       {QStringLiteral("Version ") + program_version, QStringLiteral("Qt ") + qVersion(),
        QStringLiteral("hidapi ") + QString::fromStdString(device::hidapi_version()),
        QStringLiteral("All rights reserved")})
    EXPECT_TRUE(box->text().contains(part)) << part.toStdString();
  box->close();
}

TEST(MainWindowStatus, MessagesAndProgressShowInTheStatusBar) {
  main_window w;
  w.show_status("Head present but not accessible");
  w.show_progress("row 3 of 7");
  EXPECT_EQ(w.status_text(), "Head present but not accessible");
  EXPECT_EQ(w.progress_text(), "row 3 of 7");
  w.show_progress("");
  EXPECT_EQ(w.progress_text(), "");
  w.set_caption("Up and Running");
  EXPECT_EQ(w.windowTitle(), "Up and Running");
}

TEST(MainWindowBars, RedBarShowsFromItsTopToTheColumnBottom) {
  main_window w;
  QWidget* column = w.control("Frame2(1)");
  QWidget* bar = w.control("dist1(1)");
  auto seen = [&] { return bar->geometry().intersected(column->rect()); };
  EXPECT_TRUE(seen().isEmpty());  // starts below the column

  w.set_bar_top(1, 1500.0f);
  EXPECT_EQ(seen(), QRect(0, 100, 25, column->height() - 100));
  EXPECT_EQ(column->childAt(10, column->height() - 1), bar);

  w.set_bar_top(1, static_cast<float>(column->height() * 15));
  EXPECT_TRUE(seen().isEmpty());

  w.set_bar_top(1, std::numeric_limits<float>::quiet_NaN());
  w.set_bar_top(3, 0.0f);
  w.set_bar_top(-1, 0.0f);
  EXPECT_TRUE(seen().isEmpty());
}

TEST(MainWindowPictures, CanvasesHaveTheirSizesAndBackgrounds) {
  main_window w;
  canvas& scope = w.pictures(picture::scope);
  EXPECT_EQ(QSize(scope.width(), scope.height()), QSize(325, 269));
  EXPECT_EQ(scope.background(), QColor(0, 192, 0));
  for (auto which : {picture::thermal_map, picture::sonic_map}) {
    canvas& map = w.pictures(which);
    EXPECT_EQ(QSize(map.width(), map.height()), QSize(149, 69));
    EXPECT_EQ(map.background(), QColor(192, 192, 192));
  }
  EXPECT_NE(&w.pictures(picture::thermal_map), &w.pictures(picture::sonic_map));

  // The scope's 320 units of height fill its drawable area.
  scope.draw_line(0, 319, 300, 319, Qt::red);
  EXPECT_EQ(scope.image().pixelColor(10, 268), QColor(Qt::red));
}

TEST(CanvasViewWindow, ShowsItsCanvasInsideTheBorder) {
  canvas c(20, 10, QColor(0, 192, 0));
  canvas_view view(c);
  view.resize(24, 14);
  QImage shot = view.grab().toImage();
  EXPECT_EQ(shot.pixelColor(2, 2), QColor(0, 192, 0));
  EXPECT_EQ(shot.pixelColor(21, 11), QColor(0, 192, 0));
  EXPECT_NE(shot.pixelColor(0, 0), QColor(0, 192, 0));

  c.image().setPixelColor(5, 3, Qt::red);
  c.touched();
  shot = view.grab().toImage();
  EXPECT_EQ(shot.pixelColor(7, 5), QColor(Qt::red));
}

TEST(CanvasViewWindow, RepaintsWhenTheCanvasChanges) {
  struct paint_counter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++paints;
      return false;
    }
  };
  canvas c(20, 10, QColor(192, 192, 192));
  canvas_view view(c);
  view.resize(24, 14);
  view.show();
  process_events_for(50);

  paint_counter counter;
  view.installEventFilter(&counter);
  process_events_for(20);
  EXPECT_EQ(counter.paints, 0);
  c.clear();
  process_events_for(50);
  EXPECT_GE(counter.paints, 1);
}

TEST(CanvasViewWindow, OutlivedCanvasCallbackIsHarmless) {
  canvas c(20, 10, QColor(192, 192, 192));
  { canvas_view view(c); }
  c.clear();  // the view is gone; this must not touch it
  SUCCEED();
}

}  // namespace
}  // namespace brevane
