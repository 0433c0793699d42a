// main(): parse, choose the head, build, wire, run. The steps are named here; what each does is
// in the files of src/app/.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <csignal>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/headless_jobs.h"
#include "app/instrument.h"
#include "app/plans.h"
#include "app/record_jobs.h"
#include "app/remote_wiring.h"
#include "app/resume_jobs.h"
#include "app/signal_watch.h"
#include "app/standard_output.h"
#include "app/window_front_end.h"
#include "app/window_system.h"
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
#include "model/instrument_state.h"
#include "ui/main_window.h"
#include "ui/plain_panel.h"
#include "ui/startup.h"

namespace {

using namespace brevane;

// A status bar sentence as the rest of an stderr line.
std::string lower_first(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

// What the command line asks for that needs nothing else: help, the version, the list of heads.
// The exit status, or none when the program goes on.
std::optional<int> answer_at_once(const command_line& options) {
  if (options.help) {
    std::cout << command_line_help();
    return 0;
  }
  if (options.version) {
    std::cout << "Brevane version " << program_version << "\n";
    return 0;
  }
  if (options.list_devices) {
    std::cout << device::attached_heads_text(device::attached_heads());
    return 0;
  }
  return std::nullopt;
}

// --open with exports: the CSV, NeXus and TIFF need no window system, the picture only its
// fonts. None when the record is to be shown in the Maps window instead.
std::optional<int> export_record(const command_line& options, bool window_system_up) {
  if (options.open_record.isEmpty() || !options.any_export()) return std::nullopt;
  const bool picture = !options.export_file(export_format::png).isEmpty();
  if (picture != window_system_up) return std::nullopt;
  return export_record_files(options.open_record, options, program_version, false);
}

// The head: a recording to replay, the simulated head, or the USB head.
std::unique_ptr<device::transport> choose_head(const command_line& options,
                                               std::optional<device::recorded_session>& recording,
                                               panel& front) {
  if (recording)
    return std::make_unique<device::replay_head>(std::move(*recording),
                                                 options.simulate->latency_ms);
  if (options.simulate) return std::make_unique<device::simulated_head>(*options.simulate);
  auto usb = std::make_unique<device::usb_transport>(
      [&front](const std::string& message) { front.show_status(message); });
  usb->choose_head(options.device.toStdString());
  return usb;
}

data_folder_result choose_data_folder(const command_line& options) {
  // An installed program keeps its data where the user finds it: the documents folder, or the
  // home folder when there is none.
  user_folders user{QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                    QDir::homePath()};
  if (!QFileInfo(user.documents).isDir()) user.documents.clear();
  // A resumed sweep writes where it began, under that folder's lock.
  const QString chosen = options.data_folder.isEmpty() && !options.resume_record.isEmpty()
                             ? record_data_folder(options.resume_record)
                             : options.data_folder;
  return prepare_data_folder(QCoreApplication::applicationDirPath(), user, chosen);
}

std::string open_trace(const command_line& options, device::report_trace& trace) {
  if (options.trace_file.isEmpty()) return {};
  // The first line says which program and head wrote it.
  const std::string header =
      std::string("Brevane ") + program_version + ", " +
      (options.simulate
           ? "simulated head (" + simulated_head_description(*options.simulate).options + ")"
           : std::string("USB"));
  return trace.open(options.trace_file.toStdString(), header);
}

// The program's steps: parse, choose the head, build, wire, run.
int run_program(int argc, char** argv) {
  // A file size limit (ulimit -f) fails a write like a full disk does, with its reason said,
  // rather than ending the program in the middle of a line.
  if (!files::ignore_size_limit_signal())
    std::cerr << "brevane: a file size limit would end the program rather than fail a write\n";

  // --- Parse: before any window system is touched, so that it works without a display ---
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  std::string error;
  const auto options = parse_command_line(arguments, &error);
  if (!options) {
    std::cerr << "brevane: " << error << " (see brevane --help)\n";
    return 2;
  }
  if (const auto status = answer_at_once(*options)) return *status;
  // The settings of --plan and --set are read before anything starts, display or not; the plan
  // jobs and a record's exports need no head.
  const auto settings = command_line_settings(*options, &error);
  if (!settings) {
    std::cerr << "brevane: " << error << "\n";
    return 2;
  }
  if (!options->save_plan.isEmpty()) return save_plan_job(*options, *settings);
  if (options->dry_run) return dry_run_job(*options, *settings);
  if (const auto status = export_record(*options, false)) return *status;
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
  // With --listen and no window (asked for, or no display to open it on) the program runs as a
  // service. A job or a service builds no window at all, and nobody sees a status bar: its
  // messages go to stderr as well.
  const bool service = options->listen && (options->no_window || !display_available());
  const bool unattended = options->headless_job() || service;
  if (service && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
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
  if (const auto status = export_record(*options, true)) return *status;

  // --- Build: the instrument's state, its front end, the head, the procedures ---
  instrument_state state;
  std::unique_ptr<window_front_end> windows;
  std::unique_ptr<plain_panel> plain;
  if (unattended)
    plain = std::make_unique<plain_panel>(state);
  else
    windows = std::make_unique<window_front_end>(state);
  panel& front = windows ? static_cast<panel&>(windows->window()) : *plain;
  std::unique_ptr<device::transport> head = choose_head(*options, recording, front);

  // Held until main() returns: one writer per folder.
  const data_folder_result folder = choose_data_folder(*options);
  // A job that was told where to write, or asked for a log, does not run without its folder.
  if (folder.path.isEmpty() && unattended &&
      (!options->data_folder.isEmpty() || options->log_data || options->log_images)) {
    std::cerr << "brevane: " << lower_first(folder.message) << "\n";
    return 2;
  }

  system_clock wall_clock;
  instrument inst(*head, front, wall_clock, folder.path, options->echo_timeout_ms);
  device::report_trace trace;
  if (const std::string why = open_trace(*options, trace); !why.empty()) {
    std::cerr << "brevane: " << why << "\n";
    return 2;
  }
  if (!options->trace_file.isEmpty()) {
    trace.on_failure = [&front](const std::string& message) { front.show_status(message); };
    inst.exchange.set_trace(&trace);
  }
  // Every sweep, from the window, a job or a client, leaves a scan record in the data folder.
  scan_record_writer record(front, folder.path,
                            options->simulate ? simulated_head_description(*options->simulate)
                                              : head_description{"usb", {}, head_of(*options).serial, {}},
                            options->echo_timeout_ms, program_version,
                            [&front](const std::string& message) { front.show_status(message); });
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
  load_step(inst.state, front);
  if (!folder.note.empty()) front.show_status(folder.note);
  if (!folder.message.empty()) {
    front.show_status(folder.message);
    if (unattended) std::cerr << "brevane: " << lower_first(folder.message) << "\n";
  }
  state.set_log_data(options->log_data);
  state.set_log_images(options->log_images);

  // --- Wire: every control to its procedure, then the remote interface, which hears of each
  // operation's end after the window ---
  if (plain) wire_plain_panel(*plain, inst);
  if (windows && !windows->wire(*options, inst, record, folder.path)) return 1;
  apply_command_line_settings(*options, *settings, front, inst, record);
  std::optional<resume_plan> resumed;
  if (!options->resume_record.isEmpty()) {
    resumed = take_up_record(options->resume_record, head_of(*options), options->cycles,
                             folder.path, inst, front, record, &error);
    if (!resumed) {
      std::cerr << "brevane: " << error << "\n";
      return 2;
    }
  }
  std::unique_ptr<remote_front_end> remote;
  if (options->listen) {
    remote = start_remote(
        *options, front, inst, record, program_version, &error,
        windows ? std::function<void(const QString&)>(
                      [&windows](const QString& where) { windows->window().set_remote_status(where); })
                : nullptr);
    if (!remote) {
      std::cerr << "brevane: " << error << "\n";
      return 2;
    }
    remote->instrument().set_resume_place(folder.path, head_of(*options));
  }
  // SIGINT and SIGTERM: a job ends after the exchange in progress, with its logs and record
  // closed, and the program exits 128 + the signal's number; the window closes as its close
  // button does.
  int signal_status = 0;
  signal_watch signal_listener([&](int number) {
    if (windows) {
      windows->window().close();
      return;
    }
    if (signal_status == 0) signal_status = exit_status_for_signal(number);
    // Every wait ends on the stop, and the job then exits itself; quitting under a wait would
    // leave it no event loop to sleep in. With nothing waiting, nothing needs to wind down.
    inst.guard.stop_before_next_report(number == SIGINT ? "SIGINT" : "SIGTERM");
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
  // The picture of --sweep --export-png is painted from the sweep's own readings.
  maps_data exported;
  maps_listener export_listener(exported);
  if (!options->export_file(export_format::png).isEmpty()) inst.readings.add(export_listener);

  // --- Run ---
  // A sweep whose head goes away waits for it: in the window until the operator ends it,
  // headless as long as --resume-within allows.
  if (options->headless_job())
    inst.exchange.set_head_return_wait(std::chrono::seconds(options->resume_within_s));
  else
    inst.exchange.set_head_return_wait(std::nullopt);
  inst.device.connect_link();

  int exit_code = 0;
  if (options->sweep) {
    QTimer::singleShot(0, &app, [&] {
      exit_code = run_sweep_job(
          {*options, inst, front, record, trace, exported, export_listener, folder.path,
           resumed ? &*resumed : nullptr,
           sweep_exports(*options) ? std::function<int(const QString&)>([&](const QString& path) {
             return export_record_files(path, *options, program_version, true);
           })
                                   : nullptr});
      QApplication::exit(exit_code);
    });
  } else if (!options->upload_list.isEmpty()) {
    QTimer::singleShot(0, &app, [&] {
      exit_code = run_upload_job(*options, inst, front, trace);
      QApplication::exit(exit_code);
    });
  }
  // Said once everything is wired, signals included: a service is ready when it says so.
  if (remote)
    std::cout << "Listening on " << remote->server().where().toStdString() << "\n" << std::flush;
  const int code = QApplication::exec();
  inst.guard.cancel("closing");
  inst.device.disconnect_link();
  inst.readings.remove(record);
  if (signal_status != 0) return signal_status;
  return code != 0 ? code : exit_code;
}

}  // namespace

// Whatever the program said on stdout must have reached it: a lost write is a failure.
int main(int argc, char** argv) {
  return with_standard_output_checked(run_program(argc, argv));
}
