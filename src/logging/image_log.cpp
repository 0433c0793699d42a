#include "logging/image_log.h"

#include "common/numbers.h"
#include "logging/data_log.h"
#include "model/canvas.h"
#include "model/main_window_state.h"
#include "model/panel.h"

namespace brevane {

image_log::image_log(main_window_state& state, panel& window, const clock& time_source,
                     QString folder, QLocale locale)
    : state_(state),
      window_(window),
      clock_(time_source),
      folder_(std::move(folder)),
      locale_(std::move(locale)) {}

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
  if (folder_.isEmpty()) failures = "there is no data folder";
  for (const auto& s : saves) {
    // Each save stands alone; one failing does not stop the others.
    if (folder_.isEmpty()) break;
    const QString name = file_name(folder_, stem, state_.cnt, s.suffix);
    const QString error = window_.pictures(s.which).save_bmp(name);
    if (error.isEmpty()) {
      ++files_written_;
    } else if (failures.empty()) {
      failures = name.toStdString() + ": " + error.toStdString();
    }
  }
  if (!failures.empty()) window_.show_status("An image could not be saved: " + failures);
}

}  // namespace brevane
