#include "device/device_link.h"

#include "device/command_exchange.h"
#include "device/device_constants.h"
#include "device/report_trace.h"
#include "model/instrument_state.h"
#include "model/panel.h"

namespace brevane::device {

device_link::device_link(transport& link, command_exchange& exchange, panel& window)
    : link_(link), exchange_(exchange), window_(window) {}

device_link::~device_link() {
  disconnect_link();
}

bool device_link::connect_link() {
  if (connected_) return true;
  connected_ = true;
  return link_.connect(*this);
}

bool device_link::disconnect_link() {
  if (!connected_) return true;
  connected_ = false;
  tell_presence();
  return link_.disconnect();
}

bool device_link::head_present() const {
  return connected_ && link_.handle(vendor_id, product_id) != 0;
}

void device_link::tell_presence() {
  window_.settings().set_head_present(head_present());
}

void device_link::OnPlugged(device_handle handle) {
  if (link_.product_id(handle) == product_id && link_.vendor_id(handle) == vendor_id) {
    window_.set_caption(caption_running);
    // A replay follows the head's comings and goings at the same places.
    if (exchange_.trace()) exchange_.trace()->comment("plugged");
  }
  tell_presence();
  if (on_notification) on_notification();
}

void device_link::OnUnplugged(device_handle handle) {
  // Only the vendor is looked at, so any device of this vendor going away says so.
  if (link_.vendor_id(handle) == vendor_id) window_.set_caption(caption_absent);
  if (link_.product_id(handle) == product_id && link_.vendor_id(handle) == vendor_id &&
      exchange_.trace())
    exchange_.trace()->comment("unplugged");
  if (link_.handle(vendor_id, product_id) == 0) exchange_.head_lost();
  tell_presence();
  if (on_notification) on_notification();
}

void device_link::OnChanged() {
  // Enabled on every change, present head or not; never switched off.
  const device_handle head = link_.handle(vendor_id, product_id);
  link_.set_read_notify(head, true);
  if (head != 0) exchange_.head_present();
  tell_presence();
  if (on_notification) on_notification();
}

void device_link::OnRead(device_handle handle) {
  if (link_.read(handle, exchange_.input())) {
    exchange_.dataread = 1;
    if (exchange_.trace()) exchange_.trace()->in(exchange_.input());
    exchange_.report_stored();
  }
  if (on_notification) on_notification();
}

}  // namespace brevane::device
