#pragma once
// What every client of the instrument shares, as on a bench instrument: one error queue, the
// IEEE 488.2 status byte and standard event status register with their enables, and SCPI's
// OPERation and QUEStionable registers. An error made on one connection is read on the next,
// and *CLS from any connection clears it.

#include <memory>
#include <string_view>

#include "remote/scpi_errors.h"

namespace brevane::remote {

// What the instrument is doing now, as the two SCPI registers' conditions show it.
struct status_conditions {
  bool sweeping = false;          // a sweep runs, paused or not
  bool paused = false;            // the sweep is paused
  bool waiting_for_head = false;  // the sweep waits for its head to come back
  bool head_lost = false;         // no head answers
  bool log_not_kept = false;      // a log or the record lost something
  bool alarm = false;             // an alarm paused or ended the sweep
  bool disk_low = false;          // a sweep stopped to keep the disk from filling
};

namespace status_bit {
// The standard event status register.
inline constexpr int operation_complete = 1;
inline constexpr int query_error = 4;
inline constexpr int device_error = 8;
inline constexpr int execution_error = 16;
inline constexpr int command_error = 32;
// The status byte.
inline constexpr int error_queue = 4;
inline constexpr int questionable = 8;
inline constexpr int message_available = 16;
inline constexpr int event_status = 32;
inline constexpr int request_service = 64;
inline constexpr int operation = 128;
// OPERation.
inline constexpr int sweeping = 1 << 3;
inline constexpr int paused = 1 << 8;
inline constexpr int waiting_for_head = 1 << 9;
// QUEStionable.
inline constexpr int head_lost = 1 << 9;
inline constexpr int log_not_kept = 1 << 10;
inline constexpr int alarm = 1 << 11;
inline constexpr int disk_low = 1 << 12;
}  // namespace status_bit

// One SCPI status register: a condition, an event latched through the transition filters, and
// an enable for its summary bit. Values are 0 to 32767, as SCPI's 16-bit registers with the
// sign bit unused.
class scpi_register {
 public:
  static constexpr int all = 0x7fff;

  int condition() const { return condition_; }
  // Reading the event register clears it.
  int take_event() {
    const int e = event_;
    event_ = 0;
    return e;
  }
  bool summary() const { return (event_ & enable) != 0; }
  void set_condition(int now);
  void clear_event() { event_ = 0; }

  int enable = 0;
  int positive = all;  // PTRansition
  int negative = 0;    // NTRansition

 private:
  int condition_ = 0;
  int event_ = 0;
};

class instrument_status {
 public:
  // Queues the error and sets its class's bit in the standard event status register.
  void error(scpi_error code, std::string_view detail);
  error_queue& errors() { return errors_; }

  void update(const status_conditions& now);
  // *STB?: message_available says whether the asking connection holds output.
  int status_byte(bool message_available) const;
  int take_event_status() {
    const int e = event_status_;
    event_status_ = 0;
    return e;
  }
  void set_event_status_bits(int bits) { event_status_ |= bits; }

  // *CLS: the queue and every event register.
  void clear();
  // STATus:PRESet: the SCPI registers' enables and filters as at start.
  void preset();

  // Tells a late operation_complete call (*OPC) whether the registers are still there.
  std::weak_ptr<char> alive() const { return alive_; }

  int event_status_enable = 0;     // *ESE
  int service_request_enable = 0;  // *SRE
  scpi_register operation;
  scpi_register questionable;

 private:
  error_queue errors_;
  int event_status_ = 0;
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace brevane::remote
