#include "app/plans.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <iostream>

#include "app/command_line.h"
#include "app/instrument.h"
#include "logging/scan_record.h"
#include "scan/sweep_count.h"
#include "ui/main_window.h"

namespace brevane {

namespace {

// A USB full-speed exchange: one frame out, one back.
constexpr double usb_exchange_ms = 2.0;

std::string settings_line(const sweep_settings& s) {
  std::string line;
  for (std::string_view key : sweep_setting_keys()) {
    if (!line.empty()) line += ' ';
    line.append(key).append(1, '=').append(sweep_setting_text(s, key));
  }
  return line;
}

QString shown_path(const QString& path) {
  return QDir::toNativeSeparators(path);
}

}  // namespace

std::optional<sweep_settings> command_line_settings(const command_line& options, std::string* why) {
  sweep_settings settings = start_settings(options.echo_timeout_ms);
  // A headless sweep runs its --cycles whatever "Repeat" says; unticked, the record says so. A
  // service starts in the reset state, where a remote sweep ends by itself.
  if (options.sweep || options.no_window) settings.repeat = false;
  if (!options.plan_file.isEmpty()) {
    auto from_file = read_plan_file(options.plan_file, settings, why);
    if (!from_file) return std::nullopt;
    settings = *from_file;
  }
  for (const QString& assignment : options.settings) {
    const std::string reason = set_sweep_setting(settings, assignment.toStdString());
    if (!reason.empty()) {
      if (why) *why = "--set " + assignment.toStdString() + ": " + reason;
      return std::nullopt;
    }
  }
  return settings;
}

int save_plan_job(const command_line& options, const sweep_settings& settings) {
  const std::string why = save_plan_file(options.save_plan, settings);
  if (!why.empty()) {
    std::cerr << "brevane: " << why << "\n";
    return 1;
  }
  std::cout << "Plan saved: " << shown_path(options.save_plan).toStdString() << "\n";
  return 0;
}

int dry_run_job(const command_line& options, const sweep_settings& settings) {
  double ms = usb_exchange_ms;
  std::string source = "USB full speed: a frame out and one back";
  if (options.dry_run_ms) {
    ms = *options.dry_run_ms;
    source = "as --dry-run gave it";
  } else if (options.simulate) {
    ms = options.simulate->latency_ms;
    source = "the simulated head's latency";
  }
  std::cout << "Dry run of --sweep: " << options.cycles
            << " cycle(s); no head is opened and nothing is written.\n"
            << "Settings: " << settings_line(settings) << "\n"
            << "Time per answered exchange: " << ms << " ms (" << source << ")\n"
            << describe_sweep(
                   raster_of(settings.xmin, settings.xmax, settings.zmin, settings.zmax,
                             settings.step),
                   {settings.sonic_off, settings.temp_off, settings.x_off, settings.z_off},
                   options.cycles, settings.stop, ms / 1000.0)
            << std::flush;
  return 0;
}

void apply_command_line_settings(const command_line& options, const sweep_settings& settings,
                                 panel& window, instrument& inst, scan_record_writer& record) {
  // Nothing in the window's start changes unless a plan or a setting was given; a headless
  // sweep and a service only untick "Repeat".
  if (!options.plan_given()) {
    if (options.sweep || options.no_window) window.set_checked(check_box::repeat, false);
    return;
  }
  // Nothing runs yet, and the settings were checked when read: this cannot be refused.
  const std::string why = apply_settings(settings, window, inst.exchange);
  if (!why.empty()) std::cerr << "brevane: " << why << "\n";
  record.set_echo_timeout(settings.echo_timeout_ms);
  if (!options.plan_file.isEmpty())
    record.set_plan_file(QFileInfo(options.plan_file).absoluteFilePath());
}

void wire_plan_menu(main_window& window, instrument& inst, scan_record_writer& record,
                    const QString& data_folder, int start_echo_timeout_ms) {
  const QString filters = QStringLiteral("Plans and scan records (*.json *.jsonl);;All files (*)");
  QObject::connect(&window, &main_window::open_plan_chosen, &window,
                   [&, data_folder, filters, start_echo_timeout_ms] {
                     const auto refused = [&](const std::string& why) {
                       window.show_status("The plan was not opened: " + why + ".");
                     };
                     // Checked before the dialog too: a sweep must not change under the operator's
                     // feet.
                     if (inst.guard.busy()) {
                       refused("the settings cannot change while " + inst.guard.operation() +
                               " runs; end it first (Escape)");
                       return;
                     }
                     const QString path = QFileDialog::getOpenFileName(
                         &window, QStringLiteral("Open Plan"), data_folder, filters);
                     if (path.isEmpty()) return;
                     std::string why;
                     // Settings a plan leaves out take their start values, so a plan always means
                     // the same.
                     const auto settings =
                         read_plan_file(path, start_settings(start_echo_timeout_ms), &why);
                     if (!settings) return refused(why);
                     why = apply_settings(*settings, window, inst.exchange);
                     if (!why.empty()) return refused(why);
                     record.set_echo_timeout(settings->echo_timeout_ms);
                     record.set_plan_file(QFileInfo(path).absoluteFilePath());
                     window.show_status("Plan opened: " + shown_path(path).toStdString());
                   });
  QObject::connect(&window, &main_window::save_plan_chosen, &window, [&, data_folder] {
    const QString path =
        QFileDialog::getSaveFileName(&window, QStringLiteral("Save Plan"),
                                     QDir(data_folder).filePath(QStringLiteral("plan.json")),
                                     QStringLiteral("Plans (*.json);;All files (*)"));
    if (path.isEmpty()) return;
    const std::string why =
        save_plan_file(path, settings_in_window(window, inst.state, inst.exchange));
    window.show_status(why.empty() ? "Plan saved: " + shown_path(path).toStdString() : why);
  });
}

}  // namespace brevane
