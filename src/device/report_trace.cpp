#include "device/report_trace.h"

#include <QFile>

namespace brevane::device {

report_trace::~report_trace() {
  close();
}

void report_trace::fail(long lines_lost, const std::string& message) {
  failed_ = true;
  kept_.lost(lines_lost, message);
  if (on_failure) on_failure(message);
}

void report_trace::close() {
  if (!file_.is_open()) return;
  // Every line was written as it came; a failing close can still mean lost data on some
  // file systems, so it is said.
  if (const std::string why = file_.close(); !why.empty() && !failed_)
    fail(0, "The trace file " + path_ + " could not be closed (" + why + ")");
}

std::string report_trace::open(const std::string& path, const std::string& header) {
  close();
  failed_ = false;
  lines_ = 0;
  path_ = path;
  if (const std::string why = file_.open_append(QFile::decodeName(path.c_str())); !why.empty())
    return "cannot open the trace file " + path + ": " + why;
  if (!header.empty()) {
    if (const std::string why = file_.append("# " + header + '\n'); !why.empty()) {
      (void)file_.close();
      return "cannot write the trace file " + path + ": " + why;
    }
    ++lines_;
  }
  return {};
}

std::string report_trace::format(const char* direction, std::span<const std::uint8_t> report) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string text = direction;
  text.reserve(text.size() + report.size() * 3);
  for (auto b : report) {
    text += ' ';
    text += hex[b >> 4];
    text += hex[b & 0xf];
  }
  return text;
}

void report_trace::comment(const std::string& text) {
  put("# " + text + '\n');
}

void report_trace::line(const char* direction, std::span<const std::uint8_t> report) {
  if (!file_.is_open()) return;
  put(format(direction, report) + '\n');
}

bool report_trace::put(const std::string& text) {
  if (!file_.is_open()) return false;
  if (failed_) {
    kept_.lost(1, {});
    return false;
  }
  // Written at once: outside tools follow the file while the program runs.
  const std::string why = file_.append(text);
  if (why.empty() && file_.removed()) {
    // Deleted while written (or its folder was): every line goes with it when it closes.
    fail(lines_ + 1, "The trace file " + path_ + " was deleted while being written; its " +
                         std::to_string(lines_ + 1) + " lines are lost");
    return false;
  }
  if (why.empty()) {
    ++lines_;
    return true;
  }
  // A trace with a hole in it would replay as a different session; one that stops at its last
  // whole line replays up to there, so nothing more is written.
  fail(1, "The trace file " + path_ + " could not be written (" + why + "); it stops after " +
              std::to_string(lines_) + " whole lines");
  return false;
}

}  // namespace brevane::device
