#pragma once
// The operator's window. Every control is built from the layout table; the procedures reach
// the window only through the panel interface, and its clicks leave it as signals that
// main.cpp connects to them.

#include <QHash>
#include <QMainWindow>
#include <QString>
#include <array>
#include <string>

#include "model/canvas.h"
#include "model/panel.h"
#include "ui/layout_canvas.h"

class QAction;
class QDialog;
class QLabel;
class QPushButton;
class QScrollBar;
class QToolButton;
class QAbstractButton;

namespace brevane {

class operation_keys;
class status_line;

class main_window : public QMainWindow, public panel {
  Q_OBJECT

 public:
  // icon_path: the window icon; an empty or unreadable path leaves the default icon.
  explicit main_window(const QString& icon_path = QString(), QWidget* parent = nullptr);
  // The controls edit and show the instrument's settings; the status bar shows its position.
  explicit main_window(instrument_state& settings, const QString& icon_path = QString(),
                       QWidget* parent = nullptr);
  ~main_window() override;

  // panel
  void set_checked(check_box box, bool ticked) override;
  void set_value(scroll_bar bar, int value) override;
  void choose_step(int index) override;
  void set_text(text_box box, const std::string& text) override;
  std::string text(text_box box) const override;
  void set_caption(const std::string& caption) override;
  std::string caption() const override;
  void set_bar_top(int index, float twips) override;
  canvas& pictures(picture which) override;
  void show_status(const std::string& message) override;
  std::string status() const override;
  void show_progress(const std::string& progress) override;

  // Temp, Distance, Static Read, Sweep, Home and the jog buttons: off while a device
  // operation runs. Everything else stays live so Stop, Repeat and the views still work.
  void set_device_controls_enabled(bool enabled);

  // The remote interface's place in the status bar ("Remote: 127.0.0.1:5025, 1 client"), kept
  // beside the messages; an empty text takes it away.
  void set_remote_status(const QString& text);
  QString remote_status() const;

  // Shows view(index) and hides the other two; an index outside 0..2 changes nothing.
  void show_view(int index);

  // Check marks of "Log Data" and "Log Images", for the command line.
  void set_log_data(bool on);
  void set_log_images(bool on);

  // Where "View Data" and "Help" lead.
  void set_data_folder(const QString& path);
  void set_help_page(const QString& path);

  // The "View Data" and "Help" commands; a failure is reported in the status bar.
  void view_data();
  void open_help();
  // About Brevane (the Maps window's Help menu): the version, the Qt and hidapi versions and
  // the licence, over parent.
  void show_about(QWidget* parent);

  // F8 and Escape reach the running operation from window too, as from this one.
  void route_operation_keys(QWidget* window);

  // A control or menu item by its layout name, e.g. "Command26", "arrow(0)", "ldl";
  // nullptr when there is none. Each widget's objectName is its layout name too.
  QWidget* control(const QString& name) const;
  QAction* menu_item(const QString& name) const;

  QString status_text() const;
  QString progress_text() const;
  // The status bar's position field: "X 230 Z 160".
  QString position_text() const;

 signals:
  void arrow_clicked(int index);
  void home_clicked();
  void step_chosen(int index);
  void limit_changed(brevane::scroll_bar bar, int value);
  void gain_changed(int value);
  void reset_temperature_clicked();
  void reset_distance_clicked();
  void sweep_clicked();
  void temp_clicked();
  void distance_clicked();
  void static_read_clicked();
  void exit_chosen();
  void upload_list_chosen();
  void maps_chosen();
  void pause_clicked();
  void open_scan_chosen();
  void resume_sweep_chosen();
  void open_plan_chosen();
  void save_plan_chosen();
  void escape_pressed();
  void close_requested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  main_window(instrument_state* shared, const QString& icon_path, QWidget* parent);
  void build_controls(QWidget* client);
  void build_menus();
  void connect_controls();
  void open_location(const QString& path, const QString& what);
  void show_status_text(const QString& message);
  void show_help_window();
  // The controls and the position field follow the settings wherever they were changed.
  void follow_settings();

  layout_pictures pictures_;

  QHash<QString, QWidget*> controls_;
  QHash<QString, QAction*> menu_items_;
  std::array<QWidget*, 3> views_{};
  std::array<QWidget*, 3> bars_{};
  // What the procedures last wrote, returned unchanged by text() (the distance box shows its line
  // break differently from how it was written).
  std::array<std::string, 11> texts_;
  operation_keys* keys_ = nullptr;
  status_line* status_line_ = nullptr;
  QLabel* progress_label_ = nullptr;
  QLabel* position_label_ = nullptr;
  int settings_listener_ = 0;
  QToolButton* pause_button_ = nullptr;
  QLabel* remote_label_ = nullptr;  // made when the remote interface first reports
  QString data_folder_;
  QString help_page_;
  QDialog* help_window_ = nullptr;  // made when no browser opens the help page
};

}  // namespace brevane
