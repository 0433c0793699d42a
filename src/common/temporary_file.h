#pragma once
// The temporary file a whole-file export is written into before it is renamed over its target.
// It must never outlive the program: it is removed when the export fails, when SIGINT, SIGTERM
// or SIGHUP ends the program during the export, and, after a kill that nothing lives through,
// by the next export to the same target, which finds it unowned.

#include <QString>
#include <string>

namespace brevane::files {

class temporary_file {
 public:
  temporary_file() = default;
  // Removes the file unless it was kept.
  ~temporary_file();
  temporary_file(const temporary_file&) = delete;
  temporary_file& operator=(const temporary_file&) = delete;

  // Creates a new, empty ".<name>.<8 hex digits>.part" beside target (an absolute path), after
  // removing the unowned ones an earlier run left there. Empty when made, else why.
  std::string create_beside(const QString& target);
  const QString& path() const { return path_; }
  // The file was renamed over its target: it is no longer this one's to remove.
  void kept();

 private:
  void forget();

  QString path_;
  int fd_ = -1;    // held open, and locked, so another run sees the file is owned
  int slot_ = -1;  // where the signal handler finds its name
};

// The unowned temporary files of target's export that earlier runs left beside it; how many
// were removed.
int remove_stale_temporaries(const QString& target);

}  // namespace brevane::files
