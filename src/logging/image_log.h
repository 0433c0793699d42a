#pragma once
// Keeps a record of every painting of the maps: advances the image set number and, while
// "Log Images" is checked, saves the thermal map, the sonic map and the scope as BMP files.
// A taken name is never replaced: the new picture gets " (2)" before ".BMP", and so on.

#include <QLocale>
#include <QString>
#include <string>

#include "model/kept_account.h"

namespace brevane {

class clock;
class panel;
struct main_window_state;

class image_log {
 public:
  image_log(main_window_state& state, panel& window, const clock& time_source, QString folder,
            const QLocale& locale = QLocale::system());

  void log_step();

  // "<folder>/<stem> <n> Thermal.BMP" and so on.
  static QString file_name(const QString& folder, const std::string& stem, int number,
                           const char* suffix);
  long files_written() const { return files_written_; }
  // Counts as lost the pictures saved this run when the data folder is gone.
  void count_removed();
  // The pictures that could not be saved.
  kept_account& kept() { return kept_; }
  const kept_account& kept() const { return kept_; }

 private:
  main_window_state& state_;
  panel& window_;
  const clock& clock_;
  QString folder_;
  QLocale locale_;
  long files_written_ = 0;
  bool rename_reported_ = false;  // a taken name is said once per run
  kept_account kept_;
};

}  // namespace brevane
