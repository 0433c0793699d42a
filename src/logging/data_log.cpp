#include "logging/data_log.h"

#include <QFile>
#include <QFileInfo>

#include "common/clock.h"
#include "common/file_input.h"
#include "common/file_output.h"
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

  const std::string error = append(text, clock_.now().toMSecsSinceEpoch());
  if (!error.empty()) {
    // The line is dropped; the next reading tries again. Say so once per run of failures.
    const std::string message =
        "A data log line could not be written to " + path().toStdString() + ": " + error;
    if (!failure_reported_) {
      window_.show_status(message);
      failure_reported_ = true;
    }
    kept_.lost(1, message);
    return;
  }
  state_.wp = 1;
  failure_reported_ = false;
  ++lines_written_;
}

void data_log::count_removed() {
  if (lines_written_ == 0 || QFileInfo::exists(path())) return;
  kept_.lost(lines_written_, "The data log " + path().toStdString() + " was removed with the " +
                                 std::to_string(lines_written_) + " lines written to it");
  lines_written_ = 0;
}

std::string data_log::drop_line_of_unkept_reading(long kept_lines) {
  QFile log;
  if (!files::open_regular(path(), log).ok()) return {};
  const QByteArray header = QByteArray(data_log_header) + "\r\n";
  long lines = 0;
  qint64 offset = 0, last_line_start = 0;
  QByteArray carry;
  // Streamed: a log of days is long, and only the count after the last header matters.
  for (;;) {
    const QByteArray piece = log.read(1 << 16);
    if (piece.isEmpty()) break;
    const QByteArray text = carry + piece;
    const qint64 base = offset - carry.size();
    qsizetype from = 0;
    for (qsizetype end; (end = text.indexOf("\r\n", from)) >= 0; from = end + 2) {
      if (text.mid(from, end + 2 - from) == header) {
        lines = 0;
      } else {
        ++lines;
        last_line_start = base + from;
      }
    }
    carry = text.mid(from);
    offset += piece.size();
  }
  if (lines != kept_lines + 1 || !carry.isEmpty()) return {};
  files::output_file file;
  std::string why = file.open_append(path());
  if (why.empty()) why = file.cut_back(last_line_start);
  const std::string closed = file.close();
  return why.empty() ? closed : why;
}

std::string data_log::append(const std::string& text, long long ms) {
  if (folder_.isEmpty()) return "there is no data folder";
  // Opened and closed for each line, as the log always was: other programs may read or move
  // it between lines. A line that fails is cut back, so the lines before it stay whole.
  files::output_file file;
  std::string why = file.open_append(path());
  if (why.empty()) why = file.append(text);
  if (why.empty() && pacer_.written(ms)) {
    why = file.sync();
    if (why.empty()) pacer_.synced(ms);
  }
  const std::string closed = file.close();
  return why.empty() ? closed : why;
}

}  // namespace brevane
