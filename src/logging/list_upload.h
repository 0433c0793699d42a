#pragma once
// Sends a list file to the head, one eight-character entry per line, each as a W command
// report followed, once the head has answered, by a data report carrying the entry.

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QIODevice;

namespace brevane {

namespace device {
class command_exchange;
}
class panel;

// Reads text lines without ever holding more than a short prefix of a line: only the first
// eight characters of an entry matter, and a list file may be anything at all.
class list_line_reader {
 public:
  // between runs after every block of bytes read, so that a line of gigabytes still lets
  // events run and a stop end the reading (it may throw).
  explicit list_line_reader(QIODevice& file, std::function<void()> between = {},
                            std::size_t block = std::size_t{1} << 16)
      : file_(file), between_(std::move(between)), block_(block) {}
  // The next line (bytes as Latin-1, line end removed, at most keep characters), or nullopt
  // at the end of the file.
  std::optional<std::string> next(std::size_t keep = 64);

 private:
  QIODevice& file_;
  std::function<void()> between_;
  std::size_t block_;
  std::size_t since_between_ = 0;
};

// The eight report bytes of an entry: the line padded with blanks, cut after eight.
std::array<std::uint8_t, 8> list_entry_bytes(const std::string& line);

class list_upload {
 public:
  list_upload(device::command_exchange& exchange, panel& window);
  // Returns the number of entries sent, or nullopt when the file could not be read.
  std::optional<int> load_list(const QString& path);

 private:
  device::command_exchange& exchange_;
  panel& window_;
};

}  // namespace brevane
