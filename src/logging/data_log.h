#pragma once
// The CSV data log: one line per plot step while "Log Data" is checked, appended to
// datalog.csv in the data folder with CRLF line ends and one header line per run.

#include <QLocale>
#include <QString>
#include <string>

#include "common/file_output.h"
#include "model/kept_account.h"

namespace brevane {

class clock;
class panel;
struct main_window_state;

inline constexpr const char* data_log_header = "Time,Thermal,Distance,X pos,Y pos";
inline constexpr const char* data_log_file_name = "datalog.csv";

class data_log {
 public:
  data_log(main_window_state& state, panel& window, const clock& time_source, QString folder,
           const QLocale& locale = QLocale::system());

  // The log step of a plot: s is the trace value just plotted, d the distance just drawn.
  void log_step(double s, int d);

  QString path() const;
  // The line as written for these values, without the line end.
  static std::string format_line(const std::string& stem, double thermal, int distance, int x,
                                 int z);
  // Lines written this run (header excluded), for the summary.
  long lines_written() const { return lines_written_; }
  // Counts as lost the lines written this run when the log is gone (its folder removed): they
  // no longer exist, whatever was written.
  void count_removed();
  // A sweep taken up again after a kill: when the log holds, after its last header, exactly one
  // line more than the kept readings account for, that line belongs to the reading the kill
  // cut short, which is taken again; it is cut off so that no reading is logged twice. Empty
  // when done or nothing was cut; else why.
  std::string drop_line_of_unkept_reading(long kept_lines);
  // The lines dropped because they could not be written.
  kept_account& kept() { return kept_; }
  const kept_account& kept() const { return kept_; }

 private:
  // Appends text; on any failure nothing of it stays in the file. Returns an error text.
  // ms: when, for the sync that keeps a power cut from taking more than the last moments.
  std::string append(const std::string& text, long long ms);

  main_window_state& state_;
  panel& window_;
  const clock& clock_;
  QString folder_;
  QLocale locale_;
  long lines_written_ = 0;
  bool failure_reported_ = false;
  kept_account kept_;
  files::sync_pacer pacer_;
};

// The time stamp of a log line or an image name: the general date text through dString.
// Never throws.
std::string date_stem(const clock& time_source, const QLocale& locale);

}  // namespace brevane
