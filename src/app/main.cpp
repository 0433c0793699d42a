// Builds the program's objects and connects them, in one place.

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/headless_jobs.h"
#include "app/instrument.h"
#include "app/maps_wiring.h"
#include "app/plans.h"
#include "app/record_jobs.h"
#include "app/remote_wiring.h"
#include "app/signal_watch.h"
#include "app/standard_output.h"
#include "app/window_system.h"
#include "app/wiring.h"
#include "common/clock.h"
#include "common/file_output.h"
#include "common/version.h"
#include "device/replay_head.h"
#include "device/report_trace.h"
#include "device/simulated_head.h"
#include "device/usb_heads.h"
#include "device/usb_transport.h"
#include "display/maps_render.h"
#include "logging/scan_record.h"
#include "ui/main_window.h"
#include "ui/maps_window.h"
#include "ui/open_scan.h"
#include "ui/startup.h"

namespace {

using namespace brevane;

// The first of the places an installed or a freshly built program keeps a file.
QString find_installed(const QString& relative_to_share, const char* built_in_dir,
                       const QString& name) {
  const QString app_dir = QCoreApplication::applicationDirPath();
  const QStringList candidates = {
      QDir(app_dir).filePath(QStringLiteral("../share/") + relative_to_share + name),
      QDir(QString::fromUtf8(built_in_dir)).filePath(name),
      QDir(QString::fromUtf8(BREVANE_SOURCE_HELP_DIR)).filePath(name),
  };
  for (const QString& c : candidates)
    if (QFileInfo::exists(c)) return QFileInfo(c).canonicalFilePath();
  return {};
}

// The 16 x 16 icon with the larger ones drawn at build time, installed or in the build tree,
// for the desktop's larger places and the About box.
QIcon with_larger_icons(QIcon icon) {
  const QDir app_dir(QCoreApplication::applicationDirPath());
  for (int size : {32, 48, 64, 128, 256}) {
    const QString relative = QStringLiteral("icons/hicolor/%1x%1/apps/brevane.png").arg(size);
    for (const QString& at :
         {app_dir.filePath(QStringLiteral("../share/") + relative), app_dir.filePath(relative)}) {
      if (QFileInfo::exists(at)) {
        icon.addFile(at, QSize(size, size));
        break;
      }
    }
  }
  return icon;
}

// A status bar sentence as the rest of an stderr line.
std::string lower_first(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

int run_program(int argc, char** argv) {
  // A file size limit (ulimit -f) fails a write like a full disk does, with its reason said,
  // rather than ending the program in the middle of a line.
  if (!files::ignore_size_limit_signal())
    std::cerr << "brevane: a file size limit would end the program rather than fail a write\n";
  // The options come first, before any window system is touched: --help, --version and a
  // mistake in the options must work on a machine without a display.
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  std::string error;
  const auto options = parse_command_line(arguments, &error);
  if (!options) {
    std::cerr << "brevane: " << error << " (see brevane --help)\n";
    return 2;
  }
  if (options->help) {
    std::cout << command_line_help();
    return 0;
  }
  if (options->version) {
    std::cout << "Brevane version " << program_version << "\n";
    return 0;
  }
  if (options->list_devices) {
    std::cout << device::attached_heads_text(device::attached_heads());
    return 0;
  }
  // The settings of --plan and --set are read before anything starts, display or not; the
  // plan jobs need no head.
  const auto settings = command_line_settings(*options, &error);
  if (!settings) {
    std::cerr << "brevane: " << error << "\n";
    return 2;
  }
  if (!options->save_plan.isEmpty()) return save_plan_job(*options, *settings);
  if (options->dry_run) return dry_run_job(*options, *settings);
  // A record's CSV export needs no window system at all, and neither do NeXus and TIFF.
  const bool data_exports = !options->export_nexus.isEmpty() || !options->export_tiff.isEmpty();
  const auto export_data = [&](const QString& record_path, std::optional<int> cycle) {
    return data_exports
               ? export_record_data(record_path, cycle, options->export_nexus, options->export_tiff,
                                    program_version, options->export_csv.isEmpty())
               : 0;
  };
  if (!options->open_record.isEmpty() && options->export_png.isEmpty() &&
      (!options->export_csv.isEmpty() || data_exports)) {
    const int table = options->export_csv.isEmpty()
                          ? 0
                          : export_record_csv(options->open_record, options->export_csv);
    return std::max(table, export_data(options->open_record, options->cycle));
  }
  // A recording to replay is read whole before anything starts: a file that is no trace is
  // refused with its line, display or not.
  std::optional<device::recorded_session> recording;
  if (options->simulate && options->simulate->replay) {
    recording = device::read_trace(*options->simulate->replay, &error);
    if (!recording) {
      std::cerr << "brevane: " << error << "\n";
      return 2;
    }
  }
  // With --listen and no window (asked for, or no display to open it on) the program runs as
  // a service: the window's controls exist, off screen, and remote clients drive them.
  const bool service = options->listen && (options->no_window || !display_available());
  if (service && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // Nobody sees the status bar of a job or a service: its messages go to stderr as well.
  const bool unattended = options->headless_job() || service;
  if (const auto refusal = choose_platform(options->headless_job())) {
    std::cerr << "brevane: " << *refusal << "\n";
    return 2;
  }
  install_fatal_display_handler();

  QApplication app(argc, argv);
  window_system_started();
  QApplication::setApplicationName(QStringLiteral("Brevane"));
  QApplication::setApplicationVersion(QString::fromLatin1(program_version));
  // QSettings keeps the Maps window's place under these names.
  if (QCoreApplication::organizationName().isEmpty())
    QCoreApplication::setOrganizationName(QStringLiteral("Brevane"));

  // A record's picture is painted with the application's fonts, and needs no head.
  if (!options->open_record.isEmpty() && !options->export_png.isEmpty()) {
    const int table = options->export_csv.isEmpty()
                          ? 0
                          : export_record_csv(options->open_record, options->export_csv);
    const int picture = export_record_png(options->open_record, options->cycle, options->export_png,
                                          options->palette);
    return std::max({table, picture, export_data(options->open_record, options->cycle)});
  }

  // --- The window ---
  main_window window(find_installed(QStringLiteral("icons/hicolor/16x16/apps/"),
                                    BREVANE_HELP_INSTALL_DIR, QStringLiteral("brevane.png")));
  window.set_help_page(find_installed(QStringLiteral("brevane/"), BREVANE_HELP_INSTALL_DIR,
                                      QStringLiteral("help.html")));
  window.setWindowIcon(with_larger_icons(window.windowIcon()));

  // --- The head: simulated or USB ---
  std::unique_ptr<device::transport> head;
  if (recording) {
    head =
        std::make_unique<device::replay_head>(std::move(*recording), options->simulate->latency_ms);
  } else if (options->simulate) {
    head = std::make_unique<device::simulated_head>(*options->simulate);
  } else {
    auto usb = std::make_unique<device::usb_transport>(
        [&window](const std::string& message) { window.show_status(message); });
    usb->choose_head(options->device.toStdString());
    head = std::move(usb);
  }

  // --- Data folder ---
  // Held until main() returns: one writer per folder.
  // An installed program keeps its data where the user finds it: the documents folder, or the
  // home folder when there is none.
  user_folders user{QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                    QDir::homePath()};
  if (!QFileInfo(user.documents).isDir()) user.documents.clear();
  const data_folder_result folder =
      prepare_data_folder(QCoreApplication::applicationDirPath(), user, options->data_folder);
  // A job that was told where to write, or asked for a log, does not run without its folder.
  if (folder.path.isEmpty() && unattended &&
      (!options->data_folder.isEmpty() || options->log_data || options->log_images)) {
    std::cerr << "brevane: " << lower_first(folder.message) << "\n";
    return 2;
  }
  window.set_data_folder(folder.path);

  // --- The procedures ---
  system_clock wall_clock;
  instrument inst(*head, window, wall_clock, folder.path, options->echo_timeout_ms);

  device::report_trace trace;
  if (!options->trace_file.isEmpty()) {
    // The first line says which program and head wrote it.
    const std::string header =
        std::string("Brevane ") + program_version + ", " +
        (options->simulate
             ? "simulated head (" + simulated_head_description(*options->simulate).options + ")"
             : std::string("USB"));
    const std::string why = trace.open(options->trace_file.toStdString(), header);
    if (!why.empty()) {
      std::cerr << "brevane: " << why << "\n";
      return 2;
    }
    trace.on_failure = [&window](const std::string& message) { window.show_status(message); };
    inst.exchange.set_trace(&trace);
  }

  // Every sweep, from the window or --sweep, leaves a scan record in the data folder.
  scan_record_writer record(window, folder.path,
                            options->simulate ? simulated_head_description(*options->simulate)
                                              : head_description{"usb", {}, {}, {}},
                            options->echo_timeout_ms, program_version,
                            [&window](const std::string& message) { window.show_status(message); });
  inst.readings.add(record);
  // Without a window, each log or record that cannot be written says so once on stderr; the
  // job's exit status then says that not everything was kept.
  if (unattended) {
    for (kept_account* account :
         {&inst.datalog.kept(), &inst.imagelog.kept(), &record.kept(), &trace.kept()})
      account->on_first_loss = [](const std::string& message) {
        std::cerr << "brevane: " << lower_first(message) << "\n";
      };
  }

  load_step(inst.state, window);
  if (!folder.note.empty()) window.show_status(folder.note);
  if (!folder.message.empty()) {
    window.show_status(folder.message);
    if (unattended) std::cerr << "brevane: " << lower_first(folder.message) << "\n";
  }
  window.set_log_data(options->log_data);
  window.set_log_images(options->log_images);

  // --- Wiring: every control to its procedure ---
  wire_window(window, inst, record,
              QDir(QCoreApplication::applicationDirPath()).filePath("list.txt"));
  wire_plan_menu(window, inst, record, folder.path, options->echo_timeout_ms);
  apply_command_line_settings(*options, *settings, window, inst, record);

  // --- The remote interface, refused at start when it cannot listen ---
  std::unique_ptr<remote_front_end> remote;
  if (options->listen) {
    remote = start_remote(*options, window, inst, record, program_version, &error);
    if (!remote) {
      std::cerr << "brevane: " << error << "\n";
      return 2;
    }
  }

  // SIGINT and SIGTERM: a job ends after the exchange in progress, with its logs and record
  // closed, and the program exits 128 + the signal's number; the window closes as its close
  // button does.
  int signal_status = 0;
  signal_watch signal_listener([&](int number) {
    if (!unattended) {
      window.close();
      return;
    }
    if (signal_status == 0) signal_status = exit_status_for_signal(number);
    // Every wait ends on the stop, and the job then exits itself; quitting under a wait would
    // leave it no event loop to sleep in. With nothing waiting, nothing needs to wind down.
    inst.exchange.stop_before_next_report(number == SIGINT ? "SIGINT" : "SIGTERM");
    if (inst.exchange.idle()) {
      QApplication::exit(signal_status);
    } else if (service) {
      // A remote operation ends on the stop by itself; the program goes once it has unwound.
      remote->instrument().operation_complete([&] {
        QMetaObject::invokeMethod(
            &app, [&] { QApplication::exit(signal_status); }, Qt::QueuedConnection);
      });
    }
  });
  // --- The Maps window: fed by the sweep's readings only while it is open ---
  maps_window maps_view(inst.readings);
  maps_view.set_live_record([&record] { return record.path(); });
  // The operator's alarms; a job or a service keeps to its own (--alarm, SWEep:ALARm).
  wire_alarms(window, inst, unattended ? nullptr : &maps_view.alarms());
  // The operator watches a sweep there: F8 and Escape work in it as in the main window.
  window.route_operation_keys(&maps_view);
  QObject::connect(&window, &main_window::maps_chosen, &maps_view, &maps_window::open);
  QObject::connect(&window, &main_window::close_requested, &maps_view, &QWidget::close);
  QObject::connect(&maps_view, &maps_window::help_chosen, &window, &main_window::open_help);
  QObject::connect(&maps_view, &maps_window::about_chosen, &maps_view,
                   [&] { window.show_about(&maps_view); });
  // Sweep This Region, a double-click's move and Escape's clearing.
  wire_maps_tools(maps_view, window, inst);
  // File > Open Scan… of either window; the dialog belongs to the window it was chosen in.
  const auto open_scan = [&](QWidget* from) {
    const QString path = QFileDialog::getOpenFileName(
        from, QStringLiteral("Open Scan"), QDir(folder.path).filePath(QStringLiteral("scans")),
        QStringLiteral("Scan records (*.jsonl);;All files (*)"));
    if (path.isEmpty()) return;
    const std::string why = show_scan_record(maps_view, path, std::nullopt);
    window.show_status(why.empty() ? "Scan record opened in the Maps window: " +
                                         QDir::toNativeSeparators(path).toStdString()
                                   : "The scan record could not be opened: " + why);
  };
  QObject::connect(&window, &main_window::open_scan_chosen, &window, [&] { open_scan(&window); });
  QObject::connect(&maps_view, &maps_window::open_scan_chosen, &maps_view,
                   [&] { open_scan(&maps_view); });
  if (!options->open_record.isEmpty()) {
    const std::string why = show_scan_record(maps_view, options->open_record, options->cycle);
    if (!why.empty()) {
      std::cerr << "brevane: " << why << "\n";
      return 1;
    }
  }
  maps_data exported;
  maps_listener export_listener(exported);
  if (!options->export_png.isEmpty()) inst.readings.add(export_listener);

  // A sweep whose head goes away waits for it: in the window until the operator ends it,
  // headless as long as --resume-within allows.
  if (options->headless_job())
    inst.exchange.set_head_return_wait(std::chrono::seconds(options->resume_within_s));
  else
    inst.exchange.set_head_return_wait(std::nullopt);

  inst.device.connect_link();
  // A chosen head that is not there: the caption keeps its first text, and the status bar says
  // which head the program waits for.
  if (!options->device.isEmpty() && !options->headless_job()) {
    QTimer::singleShot(options->echo_timeout_ms, &window, [&] {
      if (!inst.device.head_present())
        window.show_status("Waiting for the head " + options->device.toStdString() +
                           "; plug it in. (--list-devices lists the heads that are attached.)");
    });
  }
  // A job from the command line paints into the pictures all the same; only the operator's
  // session needs the window on screen.
  if (!service && (!options->headless_job() || !qEnvironmentVariableIsEmpty("DISPLAY")))
    window.show();

  int exit_code = 0;
  if (options->sweep) {
    QTimer::singleShot(0, &app, [&] {
      exit_code = run_sweep_job(
          {*options, inst, window, record, trace, exported, export_listener, folder.path,
           data_exports ? std::function<int(const QString&)>(
                              [&](const QString& path) { return export_data(path, std::nullopt); })
                        : nullptr});
      QApplication::exit(exit_code);
    });
  } else if (!options->upload_list.isEmpty()) {
    QTimer::singleShot(0, &app, [&] {
      exit_code = run_upload_job(*options, inst, window, trace);
      QApplication::exit(exit_code);
    });
  }

  // Said once everything is wired, signals included: a service is ready when it says so.
  if (remote)
    std::cout << "Listening on " << remote->server().where().toStdString() << "\n" << std::flush;
  const int code = QApplication::exec();
  inst.exchange.cancel("closing");
  inst.device.disconnect_link();
  inst.readings.remove(record);
  if (signal_status != 0) return signal_status;
  return code != 0 ? code : exit_code;
}

}  // namespace

int main(int argc, char** argv) {
  return with_standard_output_checked(run_program(argc, argv));
}
