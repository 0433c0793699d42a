#include "ui/startup.h"

#include <QDir>

#include "logging/data_folder.h"
#include "model/main_window_state.h"
#include "model/panel.h"

namespace brevane {

namespace {
data_folder_result result(data_folder_claim& claim, std::string message) {
  return {claim.path, std::move(message), std::move(claim.lock)};
}
}  // namespace

data_folder_result prepare_data_folder(const QString& program_folder, const QString& fallback_base,
                                       const QString& chosen) {
  // A folder the operator chose is used or refused, never swapped for another place.
  if (!chosen.isEmpty()) {
    data_folder_claim claim = claim_data_folder(chosen);
    return result(claim, claim.message);
  }
  const QString primary = QDir(program_folder).filePath(QStringLiteral("data"));
  if (make_writable_folder(primary).empty()) {
    data_folder_claim claim = claim_data_folder(primary);
    return result(claim, claim.message);
  }
  if (!fallback_base.isEmpty()) {
    const QString fallback = QDir(fallback_base).filePath(QStringLiteral("data"));
    if (make_writable_folder(fallback).empty()) {
      data_folder_claim claim = claim_data_folder(fallback);
      if (claim.path.isEmpty()) return result(claim, claim.message);
      std::string message = "The data folder cannot be made beside the program (" +
                            primary.toStdString() + "); logs go to " + claim.path.toStdString() +
                            " instead.";
      if (!claim.message.empty()) message += " " + claim.message;
      return result(claim, message);
    }
  }
  return {QString(),
          "No data folder could be made (" + primary.toStdString() +
              "); the data log and the image log cannot be written.",
          nullptr};
}

void load_step(main_window_state& state, panel& window) {
  apply_startup_values(state);
  window.set_text(text_box::min_temperature_text, "");
  window.set_text(text_box::max_temperature_text, "");
  window.set_text(text_box::min_distance_text, "");
  window.set_text(text_box::max_distance_text, "");
}

}  // namespace brevane
