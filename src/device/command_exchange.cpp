#include "device/command_exchange.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

#include "common/numbers.h"
#include "device/device_errors.h"
#include "device/report_trace.h"
#include "model/instrument_state.h"

namespace brevane::device {

std::string command_name(std::uint8_t letter) {
  switch (letter) {
    case cmd_x:
      return "the X move";
    case cmd_z:
      return "the Z move";
    case cmd_t:
      return "the temperature reading";
    case cmd_s:
      return "the distance reading";
    case cmd_l:
      return "the LED setting";
    case cmd_w:
      return "the list entry";
    case cmd_p:
      return "the parameter setting";
    case cmd_e:
      return "the parameter read-back";
    default:
      return "the command " + std::string(1, static_cast<char>(letter));
  }
}

command_exchange::command_exchange(transport& link, int echo_timeout_ms)
    : link_(link), echo_timeout_ms_(echo_timeout_ms) {
  guard_.wake_ = [this] { wake(); };
  guard_.ended_ = [this] { operation_ended(); };
}

command_exchange::~command_exchange() = default;

void command_exchange::report_stored() {
  wake();
}

void command_exchange::head_lost() {
  guard_.cancel_for_loss();
}

void command_exchange::operation_ended() {
  hooks_ = {};
  restore_due_ = restoring_ = false;
}

void command_exchange::wake() {
  for (QEventLoop* loop : waits_) loop->quit();
}

void command_exchange::sleep_in_loop(qint64 ms, const std::string& command) {
  QEventLoop loop;
  QTimer deadline;
  if (ms >= 0) {
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(static_cast<int>(std::min<qint64>(ms, 1 << 30)));
  }
  waits_.push_back(&loop);
  const int result = loop.exec();
  waits_.erase(std::find(waits_.begin(), waits_.end(), &loop));
  // -1: the application is quitting, and every new event loop would return at once.
  if (result != -1) return;
  if (!guard_.cancel_requested()) {
    guard_.cancel_requested_ = true;
    guard_.cancel_reason_ = "the program is closing";
  }
  guard_.throw_cancelled(command);
}

void command_exchange::pump_once() {
  QCoreApplication::processEvents();
}

void command_exchange::write_output(const std::string& command) {
  wait_while_paused(command);
  guard_.check_stop(command);
  if (trace_) trace_->out(output_);
  if (!link_.write(vendor_id, product_id, output_)) {
    // Not a lost head: an operation that rides out a loss must not wait for a return.
    if (std::string why = link_.last_write_error(); !why.empty())
      throw report_refused(command, "Report refused", why);
    throw head_absent(command, "Vexilor II not present",
                      "The head is not connected; " + command + " could not be sent.");
  }
}

void command_exchange::wait_until(const std::function<bool()>& done, const std::string& command) {
  const QDeadlineTimer deadline(echo_timeout_ms_);
  if (state_ && !done()) state_->note_waiting_for(command);
  while (!done()) {
    guard_.check_cancel(command);
    // After a signal the answer to the report already sent is still taken, but a head that
    // does not answer must not hold the program for the whole echo timeout.
    if (guard_.stopping() && guard_.stop_grace().hasExpired())
      guard_.throw_stopped(command, "while waiting for " + command);
    // A replayed head whose recording has ended would only let the deadline pass.
    if (const std::string why = link_.answers_ended(); !why.empty()) {
      std::string text = "No answer to ";
      text.append(command).append(" can come: ").append(why).append(1, '.');
      throw report_refused(command, "Recording ended", text);
    }
    if (deadline.hasExpired()) {
      throw echo_timeout(command, "No answer to " + command,
                         "The head gave no answer to " + command + " within " +
                             std::to_string(echo_timeout_ms_) + " ms; " +
                             guard_.doing() + " stopped.");
    }
    // Sleep until a report, the deadline or a cancel wakes it; the window keeps working
    // meanwhile and no processor time is spent spinning.
    qint64 ms = deadline.remainingTime();
    if (guard_.stopping()) ms = std::min(ms, guard_.stop_grace().remainingTime());
    sleep_in_loop(ms, command);
  }
  if (state_) state_->note_waiting_for({});
}

bool command_exchange::wait_for_head(const std::function<bool()>& present, int ms) {
  const std::string what = "the head";
  const QDeadlineTimer deadline(ms);
  while (!present()) {
    if (guard_.stopping())
      throw operation_stopped(what, "Stopped by " + guard_.stop_reason(),
                              "the wait for the head was ended by " + guard_.stop_reason());
    if (deadline.hasExpired()) return false;
    sleep_in_loop(deadline.remainingTime(), what);
  }
  return true;
}

void command_exchange::wait_for_echo(std::uint8_t letter, std::size_t byte) {
  wait_until([this, letter, byte] { return input_[byte] == letter; }, command_name(letter));
}

void command_exchange::wait_for_any_report(const std::string& command) {
  wait_until([this] { return dataread != 0; }, command);
}

void command_exchange::send(std::uint8_t letter, std::initializer_list<int> arguments) {
  const std::string name = command_name(letter);
  guard_.check_cancel(name);
  // Range first, so a bad argument writes nothing at all.
  std::array<std::uint8_t, output_report_size> bytes{};
  std::size_t n = 0;
  for (int a : arguments) {
    auto b = try_to_byte(a);
    if (!b) {
      throw overflow_error("overflow: the argument " + std::to_string(a) + " of " + name +
                           " lies outside 0 to 255; nothing was sent");
    }
    bytes[n++] = *b;
  }
  output_[0] = 0;
  output_[1] = letter;
  for (std::size_t i = 0; i < n; ++i) output_[2 + i] = bytes[i];
  write_output(name);
  // Where the head was sent, once the report has left: a pause holds it before that.
  if (state_ && n > 0 && letter == cmd_x) state_->set_x(bytes[0]);
  if (state_ && n > 0 && letter == cmd_z) state_->set_z(bytes[0]);
}

void command_exchange::xpos(int pos) {
  transact(cmd_x, {pos}, echo_byte, [this] { input_[echo_byte] = 0; });
}

void command_exchange::zpos(int pos) {
  transact(cmd_z, {pos}, echo_byte, [this] { input_[echo_byte] = 0; });
}

void command_exchange::leds(int a) {
  transact(cmd_l, {a}, std::nullopt);
}

int command_exchange::read_counts(std::uint8_t letter) {
  transact(letter, {}, echo_byte, [this] {
    input_[echo_byte] = 0;
    input_[reading_low_byte] = 0;
    input_[reading_high_byte] = 0;
    dataread = 0;
  });
  return combine_reading(input_[reading_low_byte], input_[reading_high_byte]).value_or(0);
}

void command_exchange::dtimer(double d) {
  if (!(d > 0)) return;
  const std::string name = "the pause between readings";
  const QDeadlineTimer until(static_cast<qint64>(d));
  while (!until.hasExpired()) {
    guard_.check_cancel(name);
    // Nothing is sent during the pause, so a stop need not wait for its end.
    guard_.check_stop(name);
    sleep_in_loop(until.remainingTime(), name);
  }
  guard_.check_cancel(name);
}

void command_exchange::set_parameters(const std::array<int, 6>& parameters) {
  input_[echo_byte] = 0;
  send(cmd_p,
       {parameters[0], parameters[1], parameters[2], parameters[3], parameters[4], parameters[5]});
  pump_once();
  wait_for_echo(cmd_p);
}

std::array<std::uint8_t, 6> command_exchange::read_parameters() {
  input_[7] = 0;
  input_[8] = 0;
  send(cmd_e, {});
  pump_once();
  wait_for_echo(cmd_e, 8);
  std::array<std::uint8_t, 6> out{};
  std::copy_n(input_.begin() + 1, 6, out.begin());
  return out;
}

}  // namespace brevane::device
