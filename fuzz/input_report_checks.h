#pragma once
// Replays arbitrary data as input reports through the device link and the command exchange,
// interleaved with echo checks, commands, plug events and the operation guard, and checks what
// the rest of the program relies on. Used by the fuzz target and by its regression tests.
//
// The data is a sequence of records: a header byte, a length byte, then up to that many bytes.
// The low three bits of the header choose the action; the payload is a report as a HID read
// returns it (without a report id), of any length.

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "device/command_exchange.h"
#include "device/device_constants.h"
#include "device/device_errors.h"
#include "device/device_link.h"
#include "device/input_report.h"
#include "device/report_trace.h"
#include "device/usb_transport.h"
#include "model/canvas.h"
#include "model/instrument_state.h"
#include "model/panel.h"

namespace brevane::fuzzing {

// A head whose reports come from the data. They wait in the USB transport's own queue, and the
// answer to a write arrives later, as a queued read notification, as from a real head.
class fuzz_transport final : public device::transport {
 public:
  static constexpr device::device_handle head = 3;
  static constexpr device::device_handle other = 4;  // same vendor, another product

  bool connect(device::notification_target& target) override {
    target_ = &target;
    return true;
  }
  bool disconnect() override {
    target_ = nullptr;
    return true;
  }
  int vendor_id(device::device_handle h) const override {
    return h == head || h == other ? device::vendor_id : 0;
  }
  int product_id(device::device_handle h) const override {
    if (h == head) return device::product_id;
    return h == other ? device::product_id + 1 : 0;
  }
  device::device_handle handle(int v, int p) const override {
    return plugged && v == device::vendor_id && p == device::product_id ? head : 0;
  }
  bool set_read_notify(device::device_handle h, bool enable) override {
    notify = h == head && enable;
    return notify;
  }
  bool read(device::device_handle h, std::span<std::uint8_t> buffer) override {
    if (h != head || !plugged) return false;
    return pending.pop_into(buffer);
  }
  bool write(int v, int p, std::span<const std::uint8_t>) override {
    ++writes;
    if (!plugged || v != device::vendor_id || p != device::product_id) return false;
    if (answer) {
      pending.push(*answer);
      answer.reset();
      QMetaObject::invokeMethod(
          &context_,
          [this] {
            if (target_) target_->OnRead(head);
          },
          Qt::QueuedConnection);
    }
    return true;
  }
  void unplug() {
    plugged = false;
    pending.clear();
  }

  bool plugged = true;
  bool notify = false;
  int writes = 0;
  std::optional<std::vector<std::uint8_t>> answer;  // answers the next write
  device::pending_reports pending;

 private:
  device::notification_target* target_ = nullptr;
  QObject context_;  // notifications still queued die with the transport
};

class fuzz_panel final : public panel {
 public:
  // Every box clear and every bar at 0, whatever the window starts with.
  fuzz_panel() {
    settings().box_storage(check_box::repeat) = false;
    for (auto bar : {scroll_bar::xmin, scroll_bar::xmax, scroll_bar::zmin, scroll_bar::zmax,
                     scroll_bar::gain})
      settings().bar_storage(bar) = 0;
  }
  void set_checked(check_box, bool) override {}
  void set_value(scroll_bar, int) override {}
  void choose_step(int) override {}
  void set_text(text_box, const std::string&) override {}
  std::string text(text_box) const override { return {}; }
  void set_caption(const std::string& caption) override { caption_ = caption; }
  std::string caption() const override { return caption_; }
  void set_bar_top(int, float) override {}
  canvas& pictures(picture) override { return picture_; }
  void show_status(const std::string&) override {}
  std::string status() const override { return {}; }
  void show_progress(const std::string&) override {}

 private:
  std::string caption_;
  canvas picture_{1, 1, QColor(0, 0, 0)};
};

class record_reader {
 public:
  explicit record_reader(std::span<const std::uint8_t> data) : data_(data) {}
  bool next(std::uint8_t& header, std::vector<std::uint8_t>& payload) {
    if (data_.empty()) return false;
    header = data_[0];
    const std::size_t length = data_.size() > 1 ? data_[1] : 0;
    data_ = data_.subspan(std::min<std::size_t>(2, data_.size()));
    const std::size_t n = std::min(length, data_.size());
    payload.assign(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(n));
    data_ = data_.subspan(n);
    return true;
  }

 private:
  std::span<const std::uint8_t> data_;
};

// The input buffer as it must look after the report `data` was stored.
inline device::input_report stored_report(const std::vector<std::uint8_t>& data) {
  device::input_report r{};
  for (std::size_t i = 0; i + 1 < r.size() && i < data.size(); ++i) r[i + 1] = data[i];
  return r;
}

inline std::string hex(std::span<const std::uint8_t> bytes) {
  return device::report_trace::format("", bytes);
}

// A buffer of exactly `size` bytes on the heap, so the address sanitizer sees any write past it.
inline std::string check_store(const std::vector<std::uint8_t>& data, std::size_t size) {
  std::vector<std::uint8_t> buffer(size, 0xa5);
  device::store_report_data(data, buffer);
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t want = i == 0 || i - 1 >= data.size() ? 0 : data[i - 1];
    if (buffer[i] != want)
      return "store_report_data into " + std::to_string(size) + " bytes gave" + hex(buffer) +
             " for data" + hex(data);
  }
  device::pending_reports queue(1);
  queue.push(data);
  std::vector<std::uint8_t> popped(size, 0xa5);
  const bool moved = queue.pop_into(popped);
  if (moved != (size > 0) || queue.empty() != moved)
    return "pending_reports::pop_into into " + std::to_string(size) + " bytes returned " +
           (moved ? "true" : "false");
  if (moved && popped != buffer) return "pending_reports::pop_into stored" + hex(popped);
  return {};
}

enum class outcome { returned, echo_timeout, cancelled, not_sent, overflow };

inline const char* outcome_name(outcome o) {
  switch (o) {
    case outcome::returned:
      return "returned";
    case outcome::echo_timeout:
      return "echo timeout";
    case outcome::cancelled:
      return "cancelled";
    case outcome::not_sent:
      return "not sent";
    case outcome::overflow:
      return "overflow";
  }
  return "?";
}

template <class Step>
outcome run_step(Step&& step) {
  try {
    step();
    return outcome::returned;
  } catch (const device::echo_timeout&) {
    return outcome::echo_timeout;
  } catch (const device::operation_cancelled&) {
    return outcome::cancelled;
  } catch (const device::device_error&) {
    return outcome::not_sent;
  } catch (const overflow_error&) {
    return outcome::overflow;
  }
}

// Returns the first broken invariant, or an empty text when all hold.
inline std::string check_input_reports(std::span<const std::uint8_t> data) {
  using namespace device;
  fuzz_transport head;
  fuzz_panel window;
  // An echo timeout of 0: every wait decides at once, from the reports already stored.
  command_exchange exchange(head, 0);
  device_link link(head, exchange, window);
  link.connect_link();

  std::string failure;
  auto fail = [&failure](const std::string& what) {
    if (failure.empty()) failure = what;
  };
  bool busy = false;
  record_reader records(data);
  std::uint8_t h = 0;
  std::vector<std::uint8_t> payload;
  for (int index = 0; failure.empty() && records.next(h, payload); ++index) {
    const std::string at = "record " + std::to_string(index) + ": ";
    if (!head.pending.empty()) fail(at + "a report was left pending");
    try {
      switch (h % 8) {
        case 0:
        case 1:
        case 2: {  // a report arrives
          fail(check_store(payload, h >> 3));
          fail(check_store(payload, input_report_size));
          const input_report before = exchange.input();
          exchange.dataread = 0;
          if (head.plugged) head.pending.push(payload);
          link.OnRead(fuzz_transport::head);
          const input_report want = head.plugged ? stored_report(payload) : before;
          if (exchange.input() != want)
            fail(at + "input holds" + hex(exchange.input()) + ", not" + hex(want));
          if (exchange.dataread != (head.plugged ? 1 : 0)) fail(at + "dataread is wrong");
          if (report_trace::format("in", exchange.input()).size() != 2 + 3 * input_report_size)
            fail(at + "the trace line of the report has the wrong length");
          break;
        }
        case 3: {  // a read notification that stores nothing
          const device_handle handles[] = {0, fuzz_transport::other, fuzz_transport::head,
                                           payload.empty() ? device_handle{99} : payload[0]};
          const input_report before = exchange.input();
          exchange.dataread = 0;
          link.OnRead(handles[(h >> 3) % 4]);
          if (exchange.input() != before || exchange.dataread != 0)
            fail(at + "a read with nothing pending changed the input");
          break;
        }
        case 4: {  // an echo check on what is stored
          const std::uint8_t letter = payload.empty() ? cmd_x : payload[0];
          const std::size_t byte = (h & 0x08) ? 8 : echo_byte;
          const outcome want = exchange.input()[byte] == letter ? outcome::returned
                               : exchange.guard().cancel_requested()    ? outcome::cancelled
                                                                : outcome::echo_timeout;
          const outcome got = run_step([&] { exchange.wait_for_echo(letter, byte); });
          if (got != want)
            fail(at + "echo check of byte " + std::to_string(byte) + " " + outcome_name(got) +
                 ", expected " + outcome_name(want));
          break;
        }
        case 5: {  // a command whose answer, if any, is the payload
          const bool answered = (h & 0x08) == 0;
          const int size = static_cast<int>(payload.size());
          const int argument = (h & 0x80) ? size * 2 - 200 : size;
          const bool argument_fits = argument >= 0 && argument <= 255;
          if (answered) head.answer = payload;
          const int writes_before = head.writes;
          std::uint8_t letter = 0;
          std::size_t byte = echo_byte;
          bool waits = true;
          bool fits = argument_fits;
          std::array<std::uint8_t, 6> parameters{};
          outcome got = outcome::returned;
          switch ((h >> 4) % 5) {
            case 0:
              letter = cmd_x;
              got = run_step([&] { exchange.xpos(argument); });
              break;
            case 1:
              letter = cmd_z;
              got = run_step([&] { exchange.zpos(argument); });
              break;
            case 2: {
              letter = cmd_p;
              std::array<int, 6> p{argument};
              for (std::size_t i = 1; i < 6; ++i) p[i] = i < payload.size() ? payload[i] : 0;
              got = run_step([&] { exchange.set_parameters(p); });
              break;
            }
            case 3:
              letter = cmd_e;
              byte = 8;
              fits = true;
              got = run_step([&] { parameters = exchange.read_parameters(); });
              break;
            default:
              letter = cmd_l;
              waits = false;
              got = run_step([&] { exchange.leds(argument); });
              break;
          }
          head.answer.reset();
          const input_report answer = stored_report(payload);
          outcome want = outcome::returned;
          if (exchange.guard().cancel_requested())
            want = outcome::cancelled;
          else if (!fits)
            want = outcome::overflow;
          else if (!head.plugged)
            want = outcome::not_sent;
          else if (waits && !(answered && answer[byte] == letter))
            want = outcome::echo_timeout;
          const std::string name = command_name(letter);
          if (got != want)
            fail(at + name + " " + outcome_name(got) + ", expected " + outcome_name(want));
          const bool attempted = want != outcome::cancelled && want != outcome::overflow;
          if (head.writes != writes_before + (attempted ? 1 : 0))
            fail(at + name + " wrote " + std::to_string(head.writes - writes_before) + " times");
          if (attempted && exchange.output()[1] != letter)
            fail(at + name + " left byte 1 of the output at " +
                 std::to_string(exchange.output()[1]));
          if (got == outcome::returned && letter == cmd_e &&
              !std::equal(parameters.begin(), parameters.end(), answer.begin() + 1))
            fail(at + "E read back the wrong parameters");
          if (waits && attempted && head.plugged && answered && exchange.input() != answer)
            fail(at + name + " left" + hex(exchange.input()) + " in the input");
          break;
        }
        case 6:  // plug events
          switch ((h >> 3) % 4) {
            case 0:
              head.unplug();
              link.OnUnplugged(fuzz_transport::head);
              if (window.caption() != caption_absent) fail(at + "unplug left the caption");
              if (busy && !exchange.guard().cancel_requested())
                fail(at + "the wait in progress did not end when the head went away");
              break;
            case 1:
              head.plugged = true;
              link.OnPlugged(fuzz_transport::head);
              if (window.caption() != caption_running) fail(at + "plug left the caption");
              break;
            case 2:
              link.OnChanged();
              if (head.notify != head.plugged) fail(at + "read notification not enabled");
              break;
            default:
              link.OnUnplugged(fuzz_transport::other);
              break;
          }
          break;
        default:  // the one-operation guard
          switch ((h >> 3) % 3) {
            case 0:
              if (exchange.guard().begin("fuzz") == busy)
                fail(at + "begin_operation ignored the guard");
              if (!busy && exchange.guard().cancel_requested())
                fail(at + "a new operation starts cancelled");
              busy = true;
              break;
            case 1:
              exchange.guard().end();
              busy = false;
              if (exchange.guard().cancel_requested()) fail(at + "a cancel outlived its operation");
              break;
            default:
              exchange.guard().cancel("escape");
              if (exchange.guard().cancel_requested() != busy) fail(at + "cancel without an operation");
              break;
          }
          break;
      }
    } catch (const std::exception& e) {
      fail(at + "unexpected exception: " + e.what());
    }
    // Deliver what is still queued, such as the late answer to L.
    QCoreApplication::processEvents();
    if (exchange.input()[0] != 0) fail(at + "byte 0 of the input is not the report id 0");
    if (exchange.output()[9] != 0 || exchange.output()[10] != 0)
      fail(at + "bytes 9 and 10 of the output were written");
    if (exchange.trace() != nullptr) fail(at + "a report overran into the exchange");
    if (exchange.guard().busy() != busy) fail(at + "the guard lost track of the operation");
  }
  return failure;
}

}  // namespace brevane::fuzzing
