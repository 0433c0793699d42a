#include "logging/data_log.h"

#include <QFile>

#include "common/clock.h"
#include "common/numbers.h"
#include "logging/text_filters.h"
#include "model/main_window_state.h"
#include "model/panel.h"

namespace brevane {

std::string date_stem(const clock& time_source, const QLocale& locale) {
  try {
    return dString(general_date_text(time_source.now(), locale)).toStdString();
  } catch (const overflow_error&) {
    return {};  // only a text of 32767 characters fails; no date text is that long
  }
}

data_log::data_log(main_window_state& state, panel& window, const clock& time_source,
                   QString folder, const QLocale& locale)
    : state_(state),
      window_(window),
      clock_(time_source),
      folder_(std::move(folder)),
      locale_(locale) {}

QString data_log::path() const {
  return folder_ + QLatin1Char('/') + data_log_file_name;
}

std::string data_log::format_line(const std::string& stem, double thermal, int distance, int x,
                                  int z) {
  return stem + ',' + str_format(thermal) + ',' + str_format(distance) + ',' + str_format(x) + ',' +
         str_format(z);
}

void data_log::log_step(double s, int d) {
  // The stamp and the logged value are taken whether or not the log is on.
  state_.tem = date_stem(clock_, locale_);
  const int gain = window_.value(scroll_bar::gain);
  const double thermal = state_.avgt + s / (gain != 0 ? gain : 1);
  if (!window_.log_data_checked()) return;

  std::string text;
  if (state_.wp == 0) text = std::string(data_log_header) + "\r\n";
  text += format_line(state_.tem, thermal, d, state_.posx, state_.posz) + "\r\n";

  const QString error = append(text);
  if (!error.isEmpty()) {
    // The line is dropped; the next reading tries again. Say so once per run of failures.
    if (!failure_reported_) {
      window_.show_status("A data log line could not be written to " + path().toStdString() + ": " +
                          error.toStdString());
      failure_reported_ = true;
    }
    return;
  }
  state_.wp = 1;
  failure_reported_ = false;
  ++lines_written_;
}

QString data_log::append(const std::string& text) {
  if (folder_.isEmpty()) return QStringLiteral("there is no data folder");
  QFile file(path());
  // Unbuffered, so a failed write is seen here and the file's size is what is on disk.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
    return file.errorString();
  const bool regular = !file.isSequential();
  const qint64 before = regular ? file.size() : 0;
  const qint64 written = file.write(text.data(), static_cast<qint64>(text.size()));
  if (written == static_cast<qint64>(text.size())) {
    file.close();
    return {};
  }
  QString reason = file.errorString();
  // Take back a partial line so the lines already in the file stay whole.
  if (regular && file.size() > before) file.resize(before);
  file.close();
  return reason.isEmpty() ? QStringLiteral("write failed") : reason;
}

}  // namespace brevane
