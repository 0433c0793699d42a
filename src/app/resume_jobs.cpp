#include "app/resume_jobs.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "app/command_line.h"
#include "app/instrument.h"
#include "app/wiring.h"
#include "common/file_input.h"
#include "logging/scan_record.h"
#include "model/panel.h"
#include "ui/main_window.h"

namespace brevane {

namespace {

QString canonical(const QString& path) {
  const QString c = QFileInfo(path).canonicalFilePath();
  return c.isEmpty() ? QFileInfo(path).absoluteFilePath() : c;
}

// A record with a first line and no end line. Only its tail is read: a record of days is long,
// and the last line decides.
bool ends_unexpectedly(const QString& path) {
  QFile file;
  if (!files::open_regular(path, file).ok()) return false;
  const QByteArray first = file.readLine(4096);
  if (!first.contains("\"brevane-scan\"")) return false;
  constexpr qint64 tail = 4096;
  if (file.size() > tail && !file.seek(file.size() - tail)) return false;
  const QByteArray end = file.read(tail);
  const QList<QByteArray> lines = end.trimmed().split('\n');
  const QJsonObject last = QJsonDocument::fromJson(lines.last()).object();
  return last.value(QLatin1String("type")).toString() != QLatin1String("end");
}

}  // namespace

QString record_data_folder(const QString& record) {
  QDir scans = QFileInfo(record).absoluteDir();
  if (scans.dirName() != QLatin1String(scans_folder_name)) return scans.absolutePath();
  scans.cdUp();
  return scans.absolutePath();
}

head_identity head_of(const command_line& options) {
  head_identity h;
  h.kind = options.simulate ? "simulated" : "usb";
  // --device names the head by its serial number or its path; only the number says which.
  if (!options.simulate && !options.device.contains(QLatin1Char('/')))
    h.serial = options.device.toStdString();
  h.any_head = options.resume_on_any_head;
  return h;
}

std::optional<resume_plan> take_up_record(const QString& record, const head_identity& head,
                                          std::optional<int> cycles, const QString& data_folder,
                                          instrument& inst, panel& window,
                                          scan_record_writer& writer, std::string* why) {
  const std::string name = QDir::toNativeSeparators(record).toStdString();
  const QString folder = record_data_folder(record);
  // This program's lock covers its data folder; a record in another one may be continued by the
  // program that holds that one.
  if (data_folder.isEmpty() || canonical(folder) != canonical(data_folder)) {
    *why = name + " cannot be resumed: its data folder " +
           QDir::toNativeSeparators(folder).toStdString() +
           (data_folder.isEmpty() ? std::string(" could not be taken")
                                  : " is not this program's (" +
                                        QDir::toNativeSeparators(data_folder).toStdString() +
                                        "); another Brevane may hold it, resuming it already");
    return std::nullopt;
  }
  resume_request request;
  request.record = record;
  request.head_kind = head.kind;
  request.head_serial = head.serial;
  request.any_head = head.any_head;
  request.cycles = cycles;
  request.base = settings_in_window(window, inst.state, inst.exchange);
  auto plan = plan_resume(request, why);
  if (!plan) return std::nullopt;
  if (plan->settings.stop) {
    *why = name + " cannot be resumed: its Stop box is ticked and would end it at once";
    return std::nullopt;
  }
  if (std::string refused = apply_settings(plan->settings, window, inst.exchange); !refused.empty()) {
    *why = name + " cannot be resumed: " + refused;
    return std::nullopt;
  }
  // The logs the sweep kept go on whatever the command line or the menu says now.
  if (plan->log_data.value_or(false)) inst.settings.set_log_data(true);
  if (plan->log_images.value_or(false)) inst.settings.set_log_images(true);
  writer.continue_record({record, plan->whole_end, plan->start, plan->held, plan->last_ms,
                          plan->from.last});
  // The data log's header was written when the sweep began; its lines go on under it.
  if (QFileInfo(inst.datalog.path()).size() > 0) inst.state.wp = 1;
  // The pictures go on with the set number the pass in progress would have had; a set the kill
  // cut is written again whole at its end.
  inst.state.cnt = static_cast<std::int16_t>(std::min(plan->passes_painted, 32766));
  if (const std::string failed = inst.datalog.drop_line_of_unkept_reading(plan->log_lines);
      !failed.empty())
    window.show_status("The data log's last line could not be cut back: " + failed);
  return plan;
}

void resume_window_sweep(main_window& window, instrument& inst, scan_record_writer& record,
                         const QString& data_folder, const head_identity& head) {
  if (inst.guard.busy()) {
    window.show_status("Resume Sweep is refused while " + inst.guard.operation() +
                       " runs; Escape ends it.");
    return;
  }
  // Asked before the record is taken up, which the next sweep would otherwise continue.
  if (const auto why = sweep_refusal(inst)) {
    window.show_status(*why);
    return;
  }
  const QString scans = QDir(data_folder).filePath(QLatin1String(scans_folder_name));
  const QString proposal = newest_unended_record(data_folder);
  QFileDialog dialog(&window, QStringLiteral("Resume Sweep"), scans,
                     QStringLiteral("Scan records (*.jsonl);;All files (*)"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Resume"));
  if (!proposal.isEmpty()) dialog.selectFile(proposal);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().constFirst();
  std::string why;
  const auto plan = take_up_record(path, head, std::nullopt, data_folder, inst, window, record, &why);
  if (!plan) {
    window.show_status(why);
    return;
  }
  window.show_status("Resuming at " + resume_sentence(*plan) + ".");
  run_window_sweep(window, inst, record, false, std::nullopt, &*plan);
}

QString newest_unended_record(const QString& data_folder) {
  const QDir scans(QDir(data_folder).filePath(QLatin1String(scans_folder_name)));
  // The names sort by their start; the newest first.
  const QStringList names = scans.entryList({QStringLiteral("scan *.jsonl")}, QDir::Files,
                                            QDir::Name | QDir::Reversed);
  for (const QString& n : names)
    if (QString path = scans.filePath(n); ends_unexpectedly(path)) return path;
  return {};
}

}  // namespace brevane
