#include "remote/instrument_status.h"

namespace brevane::remote {

void scpi_register::set_condition(int now) {
  const int rising = now & ~condition_;
  const int falling = condition_ & ~now;
  event_ |= (rising & positive) | (falling & negative);
  condition_ = now;
}

void instrument_status::error(scpi_error code, std::string_view detail) {
  errors_.push(code, detail);
  const int n = -static_cast<int>(code);
  if (n >= 100 && n < 200)
    event_status_ |= status_bit::command_error;
  else if (n >= 200 && n < 300)
    event_status_ |= status_bit::execution_error;
  else if (n >= 300 && n < 400)
    event_status_ |= status_bit::device_error;
  else if (n >= 400 && n < 500)
    event_status_ |= status_bit::query_error;
}

void instrument_status::update(const status_conditions& now) {
  namespace bit = status_bit;
  operation.set_condition((now.sweeping ? bit::sweeping : 0) | (now.paused ? bit::paused : 0) |
                          (now.waiting_for_head ? bit::waiting_for_head : 0));
  questionable.set_condition((now.head_lost ? bit::head_lost : 0) |
                             (now.log_not_kept ? bit::log_not_kept : 0) |
                             (now.alarm ? bit::alarm : 0) | (now.disk_low ? bit::disk_low : 0));
}

int instrument_status::status_byte(bool message_available) const {
  namespace bit = status_bit;
  int byte = (errors_.size() > 0 ? bit::error_queue : 0) |
             (questionable.summary() ? bit::questionable : 0) |
             (message_available ? bit::message_available : 0) |
             ((event_status_ & event_status_enable) != 0 ? bit::event_status : 0) |
             (operation.summary() ? bit::operation : 0);
  // Bit 6 is the master summary: any other bit that the service request enable selects.
  if ((byte & service_request_enable & ~bit::request_service) != 0) byte |= bit::request_service;
  return byte;
}

void instrument_status::clear() {
  errors_.clear();
  event_status_ = 0;
  operation.clear_event();
  questionable.clear_event();
}

void instrument_status::preset() {
  for (scpi_register* r : {&operation, &questionable}) {
    r->enable = 0;
    r->positive = scpi_register::all;
    r->negative = 0;
  }
}

}  // namespace brevane::remote
