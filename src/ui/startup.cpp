#include "ui/startup.h"

#include <QDir>
#include <QFileInfo>

#include "logging/data_folder.h"
#include "model/main_window_state.h"
#include "model/panel.h"

namespace brevane {

namespace {

data_folder_result result(data_folder_claim& claim, std::string message) {
  return {claim.path, std::move(message), {}, std::move(claim.lock)};
}

std::string native(const QString& path) {
  return QDir::toNativeSeparators(path).toStdString();
}

}  // namespace

bool is_system_folder(const QString& folder) {
  static const char* const roots[] = {"/usr", "/bin", "/sbin", "/lib", "/opt", "/snap"};
  const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(folder));
  for (const char* root : roots) {
    const QString r = QString::fromLatin1(root);
    if (clean == r || clean.startsWith(r + QLatin1Char('/'))) return true;
  }
  return false;
}

default_place default_data_folder(const QString& program_folder, bool program_folder_writable,
                                  const user_folders& user) {
  if (program_folder_writable && !is_system_folder(program_folder))
    return {QDir(program_folder).filePath(QStringLiteral("data")), false};
  const QString base = user.documents.isEmpty() ? user.home : user.documents;
  return {QDir(base).filePath(QStringLiteral("Brevane")), true};
}

data_folder_result prepare_data_folder(const QString& program_folder, const user_folders& user,
                                       const QString& chosen) {
  // A folder the operator chose is used or refused, never swapped for another place.
  if (!chosen.isEmpty()) {
    data_folder_claim claim = claim_data_folder(chosen);
    return result(claim, claim.message);
  }
  const default_place place =
      default_data_folder(program_folder, QFileInfo(program_folder).isWritable(), user);
  std::string why_not_beside;
  if (!place.installed) {
    why_not_beside = make_writable_folder(place.path);
    if (why_not_beside.empty()) {
      data_folder_claim claim = claim_data_folder(place.path);
      return result(claim, claim.message);
    }
  }
  // An installed program, or one whose "data" cannot be made: the user's folders.
  const default_place users = default_data_folder(program_folder, false, user);
  if (make_writable_folder(users.path).empty()) {
    data_folder_claim claim = claim_data_folder(users.path);
    if (claim.path.isEmpty()) return result(claim, claim.message);
    if (place.installed) {
      data_folder_result r = result(claim, claim.message);
      r.note = "Data folder: " + native(claim.path) + " (the program is installed in " +
               native(program_folder) + "; File > Open Data Folder opens it).";
      return r;
    }
    std::string message = "The data folder cannot be made beside the program (" +
                          native(place.path) + ": " + why_not_beside + "); the data goes to " +
                          native(claim.path) + " instead.";
    if (!claim.message.empty()) message += " " + claim.message;
    return result(claim, message);
  }
  return {QString(),
          "No data folder could be made (" + native(users.path) +
              "); the data log, the image log and the scan records cannot be written.",
          {},
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
