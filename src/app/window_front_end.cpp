#include "app/window_front_end.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <iostream>

#include "app/command_line.h"
#include "app/instrument.h"
#include "app/maps_wiring.h"
#include "app/plans.h"
#include "app/resume_jobs.h"
#include "app/wiring.h"
#include "logging/scan_record.h"
#include "model/instrument_state.h"
#include "ui/main_window.h"
#include "ui/maps_window.h"
#include "ui/open_scan.h"
#include "ui/plain_panel.h"

namespace brevane {

namespace {

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

}  // namespace

window_front_end::window_front_end(instrument_state& state)
    : window_(std::make_unique<main_window>(
          state, find_installed(QStringLiteral("icons/hicolor/16x16/apps/"),
                                BREVANE_HELP_INSTALL_DIR, QStringLiteral("brevane.png")))) {
  window_->set_help_page(find_installed(QStringLiteral("brevane/"), BREVANE_HELP_INSTALL_DIR,
                                        QStringLiteral("help.html")));
  window_->setWindowIcon(with_larger_icons(window_->windowIcon()));
}

window_front_end::~window_front_end() = default;

bool window_front_end::wire(const command_line& options, instrument& inst,
                            scan_record_writer& record, const QString& data_folder) {
  main_window& window = *window_;
  window.set_data_folder(data_folder);
  wire_window(window, inst, record,
              QDir(QCoreApplication::applicationDirPath()).filePath("list.txt"));
  wire_plan_menu(window, inst, record, data_folder, options.echo_timeout_ms);

  // The Maps window, fed by the sweep's readings only while it is open.
  maps_ = std::make_unique<maps_window>(inst.readings);
  maps_window& maps = *maps_;
  maps.set_live_record([&record] { return record.path(); });
  // The operator's alarms, remembered from the last run.
  wire_alarms(inst, &maps.alarms());
  // The operator watches a sweep there: F8 and Escape work in it as in the main window.
  window.route_operation_keys(&maps);
  QObject::connect(&window, &main_window::maps_chosen, &maps, &maps_window::open);
  QObject::connect(&window, &main_window::close_requested, &maps, &QWidget::close);
  QObject::connect(&maps, &maps_window::help_chosen, &window, &main_window::open_help);
  QObject::connect(&maps, &maps_window::about_chosen, &maps, [&] { window.show_about(&maps); });
  // Sweep This Region, a double-click's move, Escape's clearing and the state line.
  wire_maps_tools(maps, window, inst);
  // File > Open Scan… of either window; the dialog belongs to the window it was chosen in.
  const auto open_scan = [&, data_folder](QWidget* from) {
    const QString path = QFileDialog::getOpenFileName(
        from, QStringLiteral("Open Scan"), QDir(data_folder).filePath(QStringLiteral("scans")),
        QStringLiteral("Scan records (*.jsonl);;All files (*)"));
    if (path.isEmpty()) return;
    const std::string why = show_scan_record(maps, path, std::nullopt);
    window.show_status(why.empty() ? "Scan record opened in the Maps window: " +
                                         QDir::toNativeSeparators(path).toStdString()
                                   : "The scan record could not be opened: " + why);
  };
  QObject::connect(&window, &main_window::open_scan_chosen, &window, [&window, open_scan] { open_scan(&window); });
  QObject::connect(&window, &main_window::resume_sweep_chosen, &window,
                   [&, data_folder, head = head_of(options)] {
                     resume_window_sweep(window, inst, record, data_folder, head);
                   });
  QObject::connect(&maps, &maps_window::open_scan_chosen, &maps, [&maps, open_scan] { open_scan(&maps); });
  if (!options.open_record.isEmpty()) {
    const std::string why = show_scan_record(maps, options.open_record, options.cycle);
    if (!why.empty()) {
      std::cerr << "brevane: " << why << "\n";
      return false;
    }
  }
  // A head that is not there: the caption keeps its first text, and the status bar says which
  // head the program waits for.
  QTimer::singleShot(options.echo_timeout_ms, &window, [&inst, &window, device = options.device] {
    if (inst.device.head_present()) return;
    window.show_status(
        device.isEmpty()
            ? std::string("No head is connected; plug it in. The caption reads \"Up and Running\" "
                          "once it is there.")
            : "Waiting for the head " + device.toStdString() +
                  "; plug it in. (--list-devices lists the heads that are attached.)");
  });
  window.show();
  return true;
}

void wire_plain_panel(plain_panel& plain, instrument& inst) {
  plain.on_value_changed = [&inst](scroll_bar bar, int value) {
    if (bar == scroll_bar::gain)
      inst.positioning.gain_changed(value);
    else
      inst.positioning.limit_changed(bar, value);
  };
  plain.on_step_chosen = [&inst](int index) { inst.positioning.choose_step(index); };
  wire_alarms(inst, nullptr);
}

}  // namespace brevane
