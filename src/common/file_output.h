#pragma once
// Every file the program writes goes through here, so that no write fails unseen: each write,
// sync and close is checked and a failure names the system's reason; a whole-file export
// appears complete or not at all; an appending log never keeps a torn line; and no file in a
// data folder is ever replaced.
//
// Every function returns why it failed, in the system's words ("No space left on device"), or
// an empty text when it succeeded. Callers put the file's name and their own words around it.

#include <QByteArray>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

class QImage;

namespace brevane::files {

// The system's text for an error number.
std::string reason(int error_number);

// A size limit (ulimit -f) must fail a write like a full disk does, not end the program.
// False when the signal could not be ignored.
bool ignore_size_limit_signal();

// Empty when target may be written as a whole file: it is absent or a regular file. A device,
// a FIFO, a folder or a symbolic link (even one to a regular file) is refused and left as it is.
std::string check_target(const QString& target);

// Writes bytes as the whole of target: into a new temporary file in the target's folder, which
// is synced and then renamed over the target, and the folder synced. On failure the target
// keeps what it held before (or stays absent) and no temporary file is left behind (see
// temporary_file.h for signals and kills).
std::string write_whole(const QString& target, const QByteArray& bytes);

// The same, for libraries that write a file by its name (HDF5, libtiff): fill writes the
// temporary file it is given (which exists, empty) and returns why it failed, or empty.
std::string write_whole_by_name(const QString& target,
                                const std::function<std::string(const QString&)>& fill);

// An image encoded in memory ("bmp", "png"); empty when it cannot be encoded.
QByteArray encode_image(const QImage& image, const char* format);

// Makes the folder and its missing parents, and syncs the folders that gained an entry so that
// the new folder survives a power cut.
std::string make_folder(const QString& path);
// Syncs a folder's entries: a file just created in it survives a power cut.
std::string sync_folder(const QString& path);

// "<dir>/<base> (n).<ext>" for n >= 2; the wanted path itself for n <= 1.
QString numbered_name(const QString& wanted, int n);

struct new_file_result {
  QString path;   // where the bytes went; empty on failure
  QString error;  // why nothing was written, naming the path tried
};

// Writes bytes into a file that did not exist before, at `wanted` or, when that name is taken
// (even between the check and the write), at its first free numbered name. Nothing is left
// behind when the write fails.
new_file_result write_new_file(const QString& wanted, const QByteArray& bytes);

// Hears every successful sync of an appending file, with its path: tests count the syncs a
// sweep makes. None by default.
void set_sync_listener(std::function<void(const QString& path)> listener);

// How often a log that grows during a sweep reaches the disk: at most this long may be lost on
// a power cut. A sync costs a few milliseconds on a disk, so not one per line.
inline constexpr long long sync_interval_ms = 500;

// Says when a growing file is due for a sync, by the times of what is written to it.
class sync_pacer {
 public:
  // Something was written at ms (any steady count of milliseconds); true when a sync is due.
  bool written(long long ms) {
    pending_ = true;
    return ms - last_sync_ >= sync_interval_ms || ms < last_sync_;
  }
  void synced(long long ms) {
    last_sync_ = ms;
    pending_ = false;
  }
  bool pending() const { return pending_; }

 private:
  long long last_sync_ = 0;
  bool pending_ = false;
};

// A file written a piece at a time and kept open: a log that appends, or a new record.
class output_file {
 public:
  output_file() = default;
  ~output_file();
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;

  // Opens for appending, creating the file when it is missing. A FIFO or a socket is refused.
  std::string open_append(const QString& path);
  // Creates the file, which must not exist. *taken says that the name was taken.
  std::string create_new(const QString& path, bool* taken = nullptr);
  bool is_open() const { return fd_ >= 0; }
  const QString& path() const { return path_; }

  // Writes all of text or, on failure, cuts the file back to its size before the call, so that
  // what was there stays whole.
  std::string append(std::string_view text);
  // Makes what was written survive a power cut.
  std::string sync();
  // Cuts the file back to size bytes (the end of its last whole line, say).
  std::string cut_back(long long size);
  // True when the file has no name any more (it or its folder was deleted while open): what
  // is written to it is lost when it closes.
  bool removed() const;
  // Closes the file; a failing close is reported, as it can mean lost data on some systems.
  std::string close();

 private:
  std::string open_with(const QString& path, int flags, bool* taken);

  int fd_ = -1;
  QString path_;
  bool regular_ = false;
};

}  // namespace brevane::files
