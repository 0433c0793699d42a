#pragma once
// "Brevane Maps": the thermal and sonic maps in colour, live during a sweep, with the reading
// under the cursor. It gathers the sweep's readings even while closed, so that opening it
// after a sweep shows the sweep; gathering costs the sweep about a microsecond a reading, and
// only an open window paints. Its caption says what it shows: the live sweep, or a record.
// Built in maps_window_build.cpp; what it does is here and in maps_window.cpp; its tools (a
// region, moving the head, the profile, a cycle's difference) in maps_tools.cpp and
// maps_picture_view.cpp.

#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

#include "display/map_tools.h"
#include "display/maps_data.h"
#include "display/maps_render.h"
#include "model/reading_stream.h"
#include "ui/maps_export.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QPainter;

namespace brevane {

class maps_alarms;

class maps_window : public QWidget {
  Q_OBJECT

 public:
  explicit maps_window(reading_stream& stream, QWidget* parent = nullptr);
  ~maps_window() override;

  // "View > Maps": shows the live maps, opening the window or raising it.
  void open();
  // Shows data (a reopened record, say) under caption instead of the live maps, with the cycle
  // given (the last one when none) chosen and note in the readout line.
  // record_path: the record the data came from, for File > Export… and the picture's title.
  void show_readings(const QString& caption, maps_data data, std::optional<int> cycle = {},
                     const QString& note = {}, const QString& record_path = {});
  // Where the live sweep's record is (empty before the first sweep). From then on the live
  // maps keep the cycle in progress and read older ones back from the record.
  void set_live_record(std::function<QString()> path);
  // The record File > Export… writes out: the one shown, or the live sweep's.
  QString export_record() const;
  // Writes the shown record (or the live one) in format to path; the PNG is the saved picture
  // (render_picture) of the cycle chosen. Says in the readout line what happened. True when
  // written.
  bool export_to(export_format format, const QString& path);

  // The picture as the window shows it, title, colour bars and axes included.
  const QImage& picture() const { return picture_; }
  // The cycle chosen: nullopt for the latest reading of each cell.
  std::optional<int> chosen_cycle() const;
  const maps_data& shown() const { return record_ ? *record_ : live_; }
  maps_style style() const;
  // Where "Save Picture…" proposes to save: the record's folder, named after it and the cycle.
  QString proposed_picture_path() const;

  // View: the units of the colour bars, the readout and the pictures, and whether the maps keep
  // equal scales or fill their room. Remembered for the next run.
  void set_units(const display_units& units);
  void set_shape(map_shape shape);

  // The readout for the picture's pixel at: the cell's reading, or a hint off the cells.
  void hover(QPoint at);
  QString readout() const;
  // Writes what the picture shows as PNG, laid out to fill its own size (render_picture); says
  // in the readout line what happened. True when written.
  bool save_picture(const QString& path);
  // Paints now whatever changed since the last paint; the repaint timer calls it.
  void refresh();
  bool repaint_pending() const { return repaint_timer_.isActive(); }
  // The boxes and values of the sweep's alarms, below the ranges.
  maps_alarms& alarms() { return *alarms_; }

  // The tools (maps_tools.cpp). What the maps show: the cycle chosen, or it minus the cycle
  // compared with.
  const maps_data& displayed() const { return difference_ ? *difference_ : shown(); }
  std::optional<int> displayed_cycle() const;
  // "Compare with": the cycle subtracted, none for "None".
  std::optional<int> compared_cycle() const;
  // A region of cells, drawn on both maps, its statistics beside them; none clears it.
  void set_region(std::optional<cell_region> region);
  const std::optional<cell_region>& region() const { return region_; }
  QString region_text() const;
  // Region > Sweep This Region: asks for the scan limits of the region, clipped to the scroll
  // bars' ranges. Says why not in the readout line when there is no region.
  void sweep_region();
  // Asks to move the head to the cell at (x, z), each kept inside 0 to 255.
  void move_here(int x, int z);
  // The profile follows the cell at (x, z) unless pinned; pin() fixes it there or frees it.
  void follow_profile(int x, int z);
  void pin_profile(bool pinned);
  bool profile_pinned() const { return profile_pinned_; }
  // The keyboard's cell on the maps, moved with the arrow keys; Enter moves the head there.
  void step_cursor(int dx, int dz);
  const std::optional<std::pair<int, int>>& cursor() const { return cursor_; }
  // Escape with no operation running: unpins the profile, or else clears the region.
  void escape();
  // A line in the readout, such as why a tool was refused.
  void say(const QString& text);
  // What the instrument is doing, in the state line under the maps; its Pause button is offered
  // while a sweep runs and reads "Resume" while it is paused.
  void show_state(const QString& line, bool pause_offered, bool paused);
  QString state_text() const;

 signals:
  // File > Open Scan…, which the main window's command answers.
  void open_scan_chosen();
  // Help > Help Page and Help > About Brevane, which the main window answers.
  void help_chosen();
  void about_chosen();
  // Sweep This Region and a double-click (or Enter) on a cell, which main() answers through
  // the plan and the one-operation guard.
  void region_sweep_chosen(brevane::region_limits limits);
  void move_chosen(int x, int z);
  // The state line's Pause or Resume button.
  void pause_clicked();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void build_controls();
  void build_menus();
  void build_tools();
  void update_tools();
  void update_profile();
  void paint_tools(QPainter& p) const;
  void click_cell(int x, int z);
  void show_tool_menu(QPoint global, std::optional<std::pair<int, int>> cell);
  void restore_choices();
  void place_on_screen();
  void update_cycles();
  void repaint_picture();
  void range_mode_changed(QComboBox* mode);
  void choose_save_file();
  void choose_export();
  void remember_place() const;
  QString scan_name() const;

  reading_stream& stream_;
  maps_data live_;
  std::optional<maps_data> record_;
  QString shown_record_;
  std::function<QString()> live_record_;
  maps_listener listener_{live_};
  QTimer repaint_timer_;
  QImage picture_;
  display_units units_;
  map_shape shape_ = map_shape::equal_scales;

  class picture_view;
  QWidget* view_ = nullptr;  // a picture_view
  QComboBox* palette_ = nullptr;
  QComboBox* cycle_ = nullptr;
  QComboBox* thermal_mode_ = nullptr;
  QComboBox* sonic_mode_ = nullptr;
  QDoubleSpinBox* thermal_low_ = nullptr;
  QDoubleSpinBox* thermal_high_ = nullptr;
  QDoubleSpinBox* sonic_low_ = nullptr;
  QDoubleSpinBox* sonic_high_ = nullptr;
  QLabel* readout_ = nullptr;
  QLabel* state_line_ = nullptr;
  QPushButton* pause_ = nullptr;
  maps_alarms* alarms_ = nullptr;
  QAction* equal_scales_ = nullptr;
  QAction* fill_ = nullptr;
  QAction* fahrenheit_ = nullptr;
  QAction* celsius_ = nullptr;
  QAction* inches_ = nullptr;
  QAction* millimetres_ = nullptr;

  std::optional<maps_data> difference_;
  std::optional<cell_region> region_;
  std::optional<std::pair<int, int>> profile_cell_;
  bool profile_pinned_ = false;
  std::optional<std::pair<int, int>> cursor_;
  QComboBox* compare_ = nullptr;
  QCheckBox* column_ = nullptr;
  QLabel* region_stats_ = nullptr;
  QWidget* profile_ = nullptr;  // a profile_strip
  QAction* sweep_region_ = nullptr;
  QAction* clear_region_ = nullptr;
};

}  // namespace brevane
