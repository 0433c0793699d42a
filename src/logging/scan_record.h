#pragma once
// The scan record: every sweep leaves one self-describing JSON Lines file in the data
// folder's scans/ folder, with its settings, every reading and how it ended. Each line is
// written whole and at once, and the file is synced at least once a second while a sweep runs,
// so a crash costs at most the line being written and a power cut the last second.

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "common/file_output.h"
#include "model/kept_account.h"
#include "model/reading_stream.h"

namespace brevane {

namespace device {
struct simulated_head_options;
}
class panel;

// Which head took the readings. For USB the serial number or the path may be unknown.
struct head_description {
  std::string kind;     // "simulated" or "usb"
  std::string options;  // the simulated head's options
  std::string serial;
  std::string path;
};

head_description simulated_head_description(const device::simulated_head_options& options);

inline constexpr const char* scans_folder_name = "scans";

// "scan YYYY-MM-DD HH-MM-SS.jsonl", or with " N" before the extension for the N-th of a name.
QString scan_record_name(const QDateTime& start, int n = 1);

class scan_record_writer final : public reading_observer {
 public:
  // report receives each failure once per sweep, for the status bar or stderr.
  scan_record_writer(const panel& window, QString data_folder, head_description head,
                     int echo_timeout_ms, std::string program_version,
                     std::function<void(const std::string&)> report);
  ~scan_record_writer() override;

  void set_echo_timeout(int ms) { echo_timeout_ms_ = ms; }
  // The plan file the settings came from, named in the first line; empty for none.
  void set_plan_file(QString path) { plan_file_ = std::move(path); }

  // A sweep taken up again from a record that a crash or a kill left without its end.
  struct continuation {
    QString path;
    qint64 whole_end = 0;  // the record's size without a line torn by the crash
    QDateTime start;       // the record's start, which "ms" keeps counting from
    long readings = 0;     // the readings it holds
    qint64 last_ms = 0;    // its last line's "ms"
    reading_event where;   // its last reading: where the sweep stood
  };
  // The next sweep goes on in that record, after a resume line that says the gap, rather than
  // starting a new one.
  void continue_record(continuation c) { continuation_ = std::move(c); }

  void cycles_asked(std::optional<int> cycles) override { cycles_ = cycles; }
  void sweep_started(const raster_in_use& raster, const QDateTime& when) override;
  void reading_taken(const reading_event& reading) override;
  void sweep_interrupted(interruption what, const reading_event& where,
                         const std::string& alarm) override;
  void baseline_taken(double avgt) override;
  void raster_changed(const raster_in_use& raster) override;
  void pass_ended(int cycle, pass_direction pass) override;
  void sweep_ended(sweep_end how, const std::string& message, const QDateTime& when,
                   bool by_alarm) override;

  // The record of the sweep in progress or the last one; empty when none was opened.
  QString path() const { return path_; }
  long readings_written() const { return readings_; }
  // The readings that did not reach the disk, or were lost with a record deleted under the
  // writer.
  kept_account& kept() { return kept_; }
  const kept_account& kept() const { return kept_; }

 private:
  bool open(const QDateTime& start);
  // Opens the record to continue, cut back to its whole lines, and writes the resume line.
  void reopen(const continuation& c, const QDateTime& when);
  void write_line(const QJsonObject& line);
  bool sync();
  // After a line: syncs when the last sync is due for renewal, else makes sure one follows
  // within a second even when the sweep then waits.
  void paced_sync(qint64 ms);
  void fail(long readings_lost, const std::string& why);
  void close();
  std::string shown_path() const;
  qint64 ms_since_start(const QDateTime& when);
  void fill_reading_line(const reading_event& r);

  const panel& window_;
  QString folder_;
  head_description head_;
  int echo_timeout_ms_;
  std::string program_version_;
  std::function<void(const std::string&)> report_;
  QString plan_file_;

  files::output_file file_;
  QString path_;
  qint64 start_utc_ms_ = 0;
  // The local time's offset from UTC, asked once per local hour (see ms_since_start).
  qint64 offset_ms_ = 0;
  qint64 offset_hour_ = -1;
  qint64 last_local_ms_ = 0;
  // One reading line kept whole, its values replaced for each reading.
  QJsonObject reading_line_;
  reading_kind line_kind_ = reading_kind::point;
  pass_direction line_pass_ = pass_direction::none;
  long readings_ = 0;
  bool failed_ = false;  // this sweep's failure was reported
  kept_account kept_;
  files::sync_pacer pacer_;
  QTimer backstop_;
  std::optional<continuation> continuation_;
  std::optional<int> cycles_;
};

}  // namespace brevane
