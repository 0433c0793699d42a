#pragma once
// Reads arbitrary data as the upload reads a list, from a device that hands its bytes over in
// pieces of any size (as a slow disk or a network file system may), with the hook that lets a
// stop in between blocks. Used by the fuzz target and by its regression tests.
//
// Byte 0: the block after which the hook runs (1 to 64). Byte 1: the block at which the hook
// throws, as a stop does (0: never). Byte 2: the largest piece one read hands over (1 to 256).
// The rest is the file.

#include <QIODevice>
#include <algorithm>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "list_file_checks.h"
#include "logging/list_upload.h"

namespace brevane::fuzzing {

class piecewise_device : public QIODevice {
 public:
  piecewise_device(std::span<const std::uint8_t> bytes, qint64 piece)
      : bytes_(bytes), piece_(piece) {
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
  }
  bool isSequential() const override { return true; }
  qint64 handed() const { return at_; }

 protected:
  qint64 readData(char* data, qint64 most) override {
    const qint64 left = static_cast<qint64>(bytes_.size()) - at_;
    const qint64 n = std::min({most, piece_, left});
    std::copy_n(bytes_.begin() + at_, n, data);
    at_ += n;
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  std::span<const std::uint8_t> bytes_;
  qint64 piece_;
  qint64 at_ = 0;
};

struct stopped : std::runtime_error {
  stopped() : std::runtime_error("stopped") {}
};

// Returns the first broken invariant, or an empty text when all hold.
inline std::string check_list_reader(std::span<const std::uint8_t> data) {
  if (data.size() < 3) return {};
  const std::size_t block = data[0] % 64 + 1;
  const std::size_t stop_at = data[1];
  const qint64 piece = data[2] + 1;
  const auto file = data.subspan(3);
  const std::vector<std::string> want = expected_lines(file, 64);

  piecewise_device device(file, piece);
  std::size_t calls = 0;
  list_line_reader reader(
      device,
      [&] {
        ++calls;
        if (calls == stop_at) throw stopped();
      },
      block);
  std::size_t count = 0;
  bool was_stopped = false;
  try {
    while (auto line = reader.next()) {
      if (count >= want.size()) return "more lines than the file holds";
      if (*line != want[count])
        return "line " + std::to_string(count) + " " + printable(*line) + ": the file says " +
               printable(want[count]);
      ++count;
    }
  } catch (const stopped&) {
    was_stopped = true;
  }
  // The hook ran once for every whole block read, and a stop ended the reading at once.
  const auto read = static_cast<std::size_t>(device.handed());
  if (was_stopped) {
    if (calls != stop_at) return "a stop came at the wrong block";
    if (read > calls * block + 8192) return "the reading went on long after the stop";
    return {};
  }
  if (count != want.size())
    return std::to_string(count) + " lines read, the file holds " + std::to_string(want.size());
  if (calls != file.size() / block)
    return "the hook ran " + std::to_string(calls) + " times for " + std::to_string(file.size()) +
           " bytes in blocks of " + std::to_string(block);
  return {};
}

}  // namespace brevane::fuzzing
