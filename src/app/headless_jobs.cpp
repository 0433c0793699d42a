#include "app/headless_jobs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/instrument.h"
#include "device/device_errors.h"
#include "device/report_trace.h"
#include "display/maps_render.h"
#include "display/record_maps.h"
#include "logging/scan_record.h"
#include "model/panel.h"
#include "scan/sweep_progress.h"
#include "scan/sweep_resume.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace brevane {

namespace {

bool stderr_is_terminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

std::string absent_head_message(const command_line& options) {
  if (options.device.isEmpty())
    return "Vexilor II not present: no scanning head answered (try --simulate)";
  return "the head " + options.device.toStdString() +
         " (a serial number or device path) is not attached; --list-devices lists the heads "
         "that are";
}

// Waits for the head; false, with the reason on stderr, when it does not come or a signal
// ends the wait.
bool head_arrived(const command_line& options, instrument& inst) {
  try {
    if (!inst.exchange.wait_for_head([&inst] { return inst.device.head_present(); },
                                     options.echo_timeout_ms)) {
      std::cerr << "brevane: " << absent_head_message(options) << "\n";
      return false;
    }
  } catch (const device::device_error& e) {
    std::cerr << "brevane: " << e.what() << "\n";
    return false;
  }
  // Let the changed notification that follows a plug enable the reads.
  QCoreApplication::processEvents();
  return true;
}

struct kept_part {
  const char* name;  // "the data log"
  const char* unit;  // what it lost: "lines"
  const kept_account& account;
};

// True when every part kept everything; otherwise one line on stderr says what was lost. Each
// part said why at its first loss.
bool everything_kept(std::initializer_list<kept_part> parts) {
  std::string lost;
  for (const kept_part& p : parts) {
    if (p.account.all_kept()) continue;
    lost += lost.empty() ? "" : "; ";
    lost += std::string(p.name) + " lost " + std::to_string(p.account.count()) + " " + p.unit;
  }
  if (lost.empty()) return true;
  std::cerr << "brevane: not everything was kept: " << lost << "\n";
  return false;
}

// The record's line of the summary: a record that was not kept whole is not named as if it
// were.
void print_record(const scan_record_writer& record) {
  if (record.path().isEmpty()) return;
  const std::string path = QDir::toNativeSeparators(record.path()).toStdString();
  if (record.kept().all_kept()) {
    std::cout << "Scan record: " << path << "\n";
  } else if (QFileInfo::exists(record.path())) {
    std::cout << "Incomplete scan record (" << record.readings_written() << " of "
              << record.readings_written() + record.kept().count() << " readings): " << path
              << "\n";
  } else {
    std::cout << "No scan record kept: " << path << " is gone\n";
  }
}

}  // namespace

int run_sweep_job(const sweep_job& job) {
  const command_line& options = job.options;
  instrument& inst = job.inst;
  if (!head_arrived(options, inst)) return 1;
  int exit_code = 0;
  // With --progress, parseable lines whatever stderr is; on a terminal, a line that updates.
  if (options.progress) {
    inst.sweep.on_progress = [](const sweep_status& s) { std::cerr << progress_line(s) << "\n"; };
  } else if (stderr_is_terminal()) {
    inst.sweep.on_progress = [](const sweep_status& s) {
      std::cerr << '\r' << (s.ended ? final_text(s) : status_text(s)) << "\033[K"
                << (s.ended ? "\n" : "") << std::flush;
    };
  }
  inst.sweep.alarms().set(options.alarms);
  inst.sweep.set_alarm_ends_sweep(true);
  // The picture is of the last cycle; the ones before it are in the record.
  job.exported.read_older_cycles(
      record_cycle_reader([&record = job.record] { return record.path(); }));
  QElapsedTimer timer;
  timer.start();
  sweep_procedure::outcome outcome = sweep_procedure::outcome::stopped;
  if (job.resume)
    std::cout << "Resuming " << QDir::toNativeSeparators(job.resume->record).toStdString()
              << " at " << resume_sentence(*job.resume) << "\n"
              << std::flush;
  const bool ran = inst.runner.run("Sweep", [&] {
    outcome = job.resume ? inst.sweep.sweep(job.resume->cycles, &job.resume->from)
                         : inst.sweep.sweep(options.cycles);
  });
  inst.sweep.on_progress = nullptr;
  const double seconds = static_cast<double>(timer.elapsed()) / 1000.0;
  if (!options.export_file(export_format::png).isEmpty()) {
    inst.readings.remove(job.export_listener);
    maps_style style;
    style.colours = options.palette;
    style.title = picture_title(QFileInfo(job.record.path()).completeBaseName(), job.exported,
                                job.exported.cycles());
    const std::string why = export_cycle(job.exported, job.exported.cycles(),
                                         options.export_file(export_format::png), style);
    if (!why.empty()) {
      std::cerr << "brevane: " << why << "\n";
      exit_code = 1;
    }
  }
  if (!ran) {
    std::cerr << "brevane: the sweep did not complete: " << inst.runner.last_error() << "\n";
    exit_code = 1;
  } else if (!inst.sweep.ending_alarm().empty()) {
    std::cerr << "brevane: the sweep was stopped by an alarm: " << inst.sweep.ending_alarm()
              << "\n";
  } else if (outcome != sweep_procedure::outcome::completed) {
    std::cerr << "brevane: the sweep was ended by the Stop box\n";
    exit_code = 1;
  }
  // What was written and then went with its folder is lost, not written.
  inst.datalog.count_removed();
  inst.imagelog.count_removed();
  const QByteArray log_path = inst.datalog.lines_written() > 0 || !inst.datalog.kept().all_kept()
                                  ? inst.datalog.path().toLocal8Bit()
                                  : QByteArray("(data log off)");
  const QByteArray folder_path = job.data_folder.toLocal8Bit();
  const auto format_summary = [&](char* buffer, std::size_t size) {
    return std::snprintf(buffer, size,
                         "Swept %ld points in %d cycle(s) in %.2f s; wrote %ld data log lines "
                         "to %s and %ld image files to %s\n",
                         inst.sweep.points_swept(), inst.sweep.cycles_completed(), seconds,
                         inst.datalog.lines_written(), log_path.constData(),
                         inst.imagelog.files_written(), folder_path.constData());
  };
  // Measured first: a fixed buffer would cut a long folder path short.
  const int length = format_summary(nullptr, 0);
  std::string summary(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length < 0 || format_summary(summary.data(), summary.size() + 1) != length) {
    std::cerr << "brevane: the sweep summary could not be written\n";
    exit_code = 1;
  } else {
    std::cout << summary;
  }
  print_record(job.record);
  std::cout << std::flush;
  if (job.export_data) {
    if (job.record.path().isEmpty()) {
      std::cerr << "brevane: the sweep wrote no scan record to export\n";
      exit_code = 1;
    } else if (job.export_data(job.record.path()) != 0) {
      exit_code = 1;
    }
  }
  if (!everything_kept({{"the data log", "lines", inst.datalog.kept()},
                        {"the image log", "pictures", inst.imagelog.kept()},
                        {"the scan record", "readings", job.record.kept()},
                        {"the trace", "lines", job.trace.kept()}}))
    exit_code = 1;
  // A failure says more than the alarm; the alarm's reading is on stderr either way.
  if (exit_code == 0 && ran && !inst.sweep.ending_alarm().empty()) return exit_status_alarm;
  return exit_code;
}

int run_upload_job(const command_line& options, instrument& inst, panel& window,
                   const device::report_trace& trace) {
  if (!head_arrived(options, inst)) return 1;
  std::optional<int> sent;
  const bool ran =
      inst.runner.run("Upload List", [&] { sent = inst.upload.load_list(options.upload_list); });
  if (!ran || !sent) {
    std::cerr << "brevane: the upload did not complete: "
              << (ran ? window.status() : inst.runner.last_error()) << "\n";
    return 1;
  }
  std::cout << "Uploaded " << *sent << " entries from " << options.upload_list.toStdString()
            << "\n";
  return everything_kept({{"the trace", "lines", trace.kept()}}) ? 0 : 1;
}

}  // namespace brevane
