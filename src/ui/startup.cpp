#include "ui/startup.h"

#include <QDir>
#include <QFileInfo>

#include "model/main_window_state.h"
#include "model/panel.h"

namespace brevane {

namespace {
bool usable_folder(const QString& path) {
  if (!QDir().mkpath(path)) return false;
  const QFileInfo info(path);
  return info.isDir() && info.isWritable();
}
}  // namespace

data_folder_result prepare_data_folder(const QString& program_folder,
                                       const QString& fallback_base) {
  const QString primary = QDir(program_folder).filePath(QStringLiteral("data"));
  if (usable_folder(primary)) return {QDir::cleanPath(primary), {}};
  if (!fallback_base.isEmpty()) {
    const QString fallback = QDir(fallback_base).filePath(QStringLiteral("data"));
    if (usable_folder(fallback)) {
      return {QDir::cleanPath(fallback), "The data folder cannot be made beside the program (" +
                                             primary.toStdString() + "); logs go to " +
                                             QDir::cleanPath(fallback).toStdString() + " instead."};
    }
  }
  return {QString(), "No data folder could be made (" + primary.toStdString() +
                         "); the data log and the image log cannot be written."};
}

void load_step(main_window_state& state, panel& window) {
  apply_startup_values(state);
  window.set_text(text_box::min_temperature_text, "");
  window.set_text(text_box::max_temperature_text, "");
  window.set_text(text_box::min_distance_text, "");
  window.set_text(text_box::max_distance_text, "");
}

}  // namespace brevane
