#pragma once
// Keeps a sweep from filling the disk of its data folder. While a sweep runs it looks at the
// free space a few times a second; below the margin it ends the sweep with the reason, which
// the record's last line and the status bar then give. A sweep that repeats for days would
// otherwise end in a write failure, with the last readings and the record's end lost.

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

namespace brevane {

class disk_guard {
 public:
  // The least free space a sweep leaves: room for its record's end and the logs of the
  // cycle in progress.
  static constexpr qint64 min_free_bytes = qint64{1024} * 1024;

  // folder: where the sweep writes, empty when it writes nothing; stop ends the sweep with
  // the reason. free_bytes: the free space of a folder (the system's, unless a test gives it).
  disk_guard(std::function<QString()> folder, std::function<void(const std::string&)> stop,
             std::function<std::optional<qint64>(const QString&)> free_bytes = {});

  // A sweep began or ended.
  void sweep_began();
  void sweep_ended();
  // Looks once; the timer calls it.
  void check();

  // The last sweep was ended for lack of space (until the next one begins).
  bool stopped_sweep() const { return stopped_; }

 private:
  std::function<QString()> folder_;
  std::function<void(const std::string&)> stop_;
  std::function<std::optional<qint64>(const QString&)> free_bytes_;
  QTimer timer_;
  std::optional<qint64> last_free_;
  bool stopped_ = false;
};

}  // namespace brevane
