#pragma once
// The CSV data log: one line per plot step while "Log Data" is checked, appended to
// datalog.csv in the data folder with CRLF line ends and one header line per run.

#include <QLocale>
#include <QString>
#include <string>

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
  // The lines dropped because they could not be written.
  kept_account& kept() { return kept_; }
  const kept_account& kept() const { return kept_; }

 private:
  // Appends text; on any failure nothing of it stays in the file. Returns an error text.
  std::string append(const std::string& text);

  main_window_state& state_;
  panel& window_;
  const clock& clock_;
  QString folder_;
  QLocale locale_;
  long lines_written_ = 0;
  bool failure_reported_ = false;
  kept_account kept_;
};

// The time stamp of a log line or an image name: the general date text through dString.
// Never throws.
std::string date_stem(const clock& time_source, const QLocale& locale);

}  // namespace brevane
