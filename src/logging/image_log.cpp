#include "logging/image_log.h"

#include <QFileInfo>
#include <iterator>

#include "common/file_output.h"
#include "common/numbers.h"
#include "logging/data_log.h"
#include "model/canvas.h"
#include "model/main_window_state.h"
#include "model/panel.h"

namespace brevane {

image_log::image_log(main_window_state& state, panel& window, const clock& time_source,
                     QString folder, const QLocale& locale)
    : state_(state),
      window_(window),
      clock_(time_source),
      folder_(std::move(folder)),
      locale_(locale) {}

void image_log::count_removed() {
  if (files_written_ == 0 || QFileInfo(folder_).isDir()) return;
  kept_.lost(files_written_, "The data folder " + folder_.toStdString() + " was removed with the " +
                                 std::to_string(files_written_) + " pictures saved in it");
  files_written_ = 0;
}

QString image_log::file_name(const QString& folder, const std::string& stem, int number,
                             const char* suffix) {
  return folder + QLatin1Char('/') + QString::fromStdString(stem + str_format(number) + suffix);
}

void image_log::log_step() {
  state_.tem = date_stem(clock_, locale_);
  const std::string stem = state_.tem;
  if (state_.cnt < 32767) ++state_.cnt;
  if (!window_.log_images_checked()) return;

  struct save {
    picture which;
    const char* suffix;
  };
  static constexpr save saves[] = {{picture::thermal_map, " Thermal.BMP"},
                                   {picture::sonic_map, " Sonic.BMP"},
                                   {picture::scope, " Histogram.BMP"}};
  std::string failures;
  long failed = 0;
  QString renamed;  // the first picture that had to take a numbered name
  if (folder_.isEmpty()) {
    failures = "there is no data folder";
    failed = static_cast<long>(std::size(saves));
  }
  for (const auto& s : saves) {
    // Each save stands alone; one failing does not stop the others.
    if (folder_.isEmpty()) break;
    const QString name = file_name(folder_, stem, state_.cnt, s.suffix);
    const QByteArray bytes = window_.pictures(s.which).bmp();
    files::new_file_result saved{QString(),
                                 name + QStringLiteral(": the picture cannot be encoded")};
    if (!bytes.isEmpty()) saved = files::write_new_file(name, bytes);
    if (!saved.path.isEmpty()) {
      ++files_written_;
      if (saved.path != name && renamed.isEmpty()) renamed = saved.path;
    } else {
      ++failed;
      if (failures.empty()) failures = saved.error.toStdString();
    }
  }
  if (!renamed.isEmpty() && !rename_reported_) {
    rename_reported_ = true;
    window_.show_status("An image name was already taken in the data folder; the new picture is " +
                        QFileInfo(renamed).fileName().toStdString() + " and no file was replaced.");
  }
  if (!failures.empty()) {
    const std::string message = "An image could not be saved: " + failures;
    window_.show_status(message);
    kept_.lost(failed, message);
  }
}

}  // namespace brevane
