#include "logging/list_upload.h"

#include <QFile>

#include "common/file_input.h"
#include "common/numbers.h"
#include "device/command_exchange.h"
#include "device/device_constants.h"
#include "model/panel.h"

namespace brevane {

using namespace device;

std::optional<std::string> list_line_reader::next(std::size_t keep) {
  std::string line;
  char c = 0;
  bool any = false;
  // Only a CR right before the line end belongs to the line end; one kept just at the cut
  // is part of the text.
  bool cr_kept_last = false;
  while (file_.getChar(&c)) {
    any = true;
    if (++since_between_ == block_) {
      since_between_ = 0;
      if (between_) between_();
    }
    if (c == '\n') break;
    cr_kept_last = false;
    if (line.size() < keep) {
      line += c;
      cr_kept_last = c == '\r';
    }
  }
  if (!any) return std::nullopt;
  if (cr_kept_last) line.pop_back();
  return line;
}

std::array<std::uint8_t, 8> list_entry_bytes(const std::string& line) {
  std::array<std::uint8_t, 8> bytes{};
  const std::string padded = line + std::string(8, ' ');
  for (std::size_t i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(padded[i]);
  return bytes;
}

list_upload::list_upload(command_exchange& exchange, panel& window)
    : exchange_(exchange), window_(window) {}

std::optional<int> list_upload::load_list(const QString& path) {
  // A FIFO would block the open, /dev/zero never end a line, /dev/urandom send nonsense.
  QFile file;
  if (const files::open_result opened = files::open_regular(path, file); !opened.ok()) {
    window_.set_caption("list file not loaded");
    window_.show_status("The list file " + path.toStdString() +
                        " could not be opened: " + opened.why());
    return std::nullopt;
  }
  list_line_reader reader(file, [this] {
    command_exchange::pump_once();
    exchange_.guard().check_cancel("the list file");
    exchange_.guard().check_stop("the list file");
  });
  int sent = 0;
  while (auto line = reader.next()) {
    window_.set_caption("send");
    exchange_.dataread = 0;
    auto& out = exchange_.output();
    out[0] = 0;
    out[1] = cmd_w;
    exchange_.write_output(command_name(cmd_w));
    command_exchange::pump_once();
    exchange_.wait_for_any_report(command_name(cmd_w));
    exchange_.dtimer(25);

    out[0] = 0;
    const auto bytes = list_entry_bytes(*line);
    std::copy(bytes.begin(), bytes.end(), out.begin() + 1);
    exchange_.write_output("list entry");
    command_exchange::pump_once();
    window_.set_caption("Received");
    command_exchange::pump_once();

    const std::string padded = *line + std::string(8, ' ');
    window_.show_progress("Upload:" + str_format(sent) + "  " + padded);
    ++sent;
  }
  if (file.error() != QFileDevice::NoError) {
    window_.show_status("Reading the list file " + path.toStdString() +
                        " stopped: " + file.errorString().toStdString());
  }
  file.close();
  window_.set_caption("file Loaded");
  window_.show_progress("");
  return sent;
}

}  // namespace brevane
