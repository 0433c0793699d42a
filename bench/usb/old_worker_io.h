#pragma once
// The transport's earlier I/O, kept here only to be measured against: one worker thread that
// reads with a timeout and sends queued writes between reads, so a write waits for the read
// in progress to time out.

#include <string>

#include "device/usb_device_io.h"

namespace brevane::bench {

device::open_result open_old_worker_io(const std::string& path, device::io_events events);

}  // namespace brevane::bench
