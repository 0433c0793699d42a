#include "app/headless_jobs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <iostream>
#include <optional>

#include "app/command_line.h"
#include "app/instrument.h"
#include "logging/scan_record.h"
#include "ui/main_window.h"

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

}  // namespace

std::string absent_head_message(const command_line& options) {
  if (options.device.isEmpty())
    return "Vexilor II not present: no scanning head answered (try --simulate)";
  return "the head " + options.device.toStdString() +
         " (a serial number or device path) is not attached; --list-devices lists the heads "
         "that are";
}

bool wait_for_head(device::device_link& link, int ms) {
  QDeadlineTimer deadline(ms);
  while (!link.head_present() && !deadline.hasExpired()) {
    QEventLoop loop;
    link.on_notification = [&loop] { loop.quit(); };
    QTimer::singleShot(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())), &loop,
                       &QEventLoop::quit);
    loop.exec();
  }
  link.on_notification = nullptr;
  // Let the changed notification that follows a plug enable the reads.
  QCoreApplication::processEvents();
  return link.head_present();
}

int run_sweep_job(const command_line& options, instrument& inst, const QString& data_folder,
                  const scan_record_writer& record,
                  const std::function<std::string()>& finish_export) {
  if (!wait_for_head(inst.device, options.echo_timeout_ms)) {
    std::cerr << "brevane: " << absent_head_message(options) << "\n";
    return 1;
  }
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
  QElapsedTimer timer;
  timer.start();
  sweep_procedure::outcome outcome = sweep_procedure::outcome::stopped;
  const bool ran = inst.runner.run("Sweep", [&] { outcome = inst.sweep.sweep(options.cycles); });
  inst.sweep.on_progress = nullptr;
  const double seconds = static_cast<double>(timer.elapsed()) / 1000.0;
  if (finish_export) {
    const std::string why = finish_export();
    if (!why.empty()) {
      std::cerr << "brevane: " << why << "\n";
      exit_code = 1;
    }
  }
  if (!ran) {
    std::cerr << "brevane: the sweep did not complete: " << inst.runner.last_error() << "\n";
    exit_code = 1;
  } else if (outcome != sweep_procedure::outcome::completed) {
    std::cerr << "brevane: the sweep was ended by the Stop box\n";
    exit_code = 1;
  }
  const QByteArray log_path = inst.datalog.lines_written() > 0 ? inst.datalog.path().toLocal8Bit()
                                                               : QByteArray("(data log off)");
  const QByteArray folder_path = data_folder.toLocal8Bit();
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
  if (!record.path().isEmpty())
    std::cout << "Scan record: " << QDir::toNativeSeparators(record.path()).toStdString() << "\n";
  std::cout << std::flush;
  return exit_code;
}

int run_upload_job(const command_line& options, instrument& inst, main_window& window) {
  if (!wait_for_head(inst.device, options.echo_timeout_ms)) {
    std::cerr << "brevane: " << absent_head_message(options) << "\n";
    return 1;
  }
  std::optional<int> sent;
  const bool ran =
      inst.runner.run("Upload List", [&] { sent = inst.upload.load_list(options.upload_list); });
  if (!ran || !sent) {
    std::cerr << "brevane: the upload did not complete: "
              << (ran ? window.status_text().toStdString() : inst.runner.last_error()) << "\n";
    return 1;
  }
  std::cout << "Uploaded " << *sent << " entries from " << options.upload_list.toStdString()
            << "\n";
  return 0;
}

}  // namespace brevane
