#include "device/usb_transport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace brevane::device {
namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

struct recording_target : notification_target {
  std::vector<std::string> events;
  void OnPlugged(device_handle) override { events.push_back("plugged"); }
  void OnUnplugged(device_handle) override { events.push_back("unplugged"); }
  void OnChanged() override { events.push_back("changed"); }
  void OnRead(device_handle) override { events.push_back("read"); }
};

void process_events_for(std::chrono::milliseconds duration) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < duration.count())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

TEST(UsbPendingReports, StoresDataAfterReportIdWithEchoAtByteThree) {
  pending_reports pending;
  input_report buffer;
  buffer.fill(0xee);

  pending.push(bytes({0x01, 0x02, 'X'}));
  ASSERT_TRUE(pending.pop_into(buffer));
  EXPECT_EQ(buffer, (input_report{0, 0x01, 0x02, 'X', 0, 0, 0, 0, 0}));
}

TEST(UsbPendingReports, LongReportIsCutAtTheBufferEnd) {
  pending_reports pending;
  std::vector<std::uint8_t> data(64);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i + 1);
  pending.push(data);

  std::array<std::uint8_t, input_report_size + 2> storage{};
  storage.fill(0xee);
  ASSERT_TRUE(pending.pop_into(std::span(storage).first(input_report_size)));
  EXPECT_EQ(storage[0], 0);
  EXPECT_EQ(storage[1], 1);
  EXPECT_EQ(storage[8], 8);
  EXPECT_EQ(storage[9], 0xee);
  EXPECT_EQ(storage[10], 0xee);
}

TEST(UsbPendingReports, ReadsOldestFirstAndDropsOldestBeyondTheBound) {
  pending_reports pending(3);
  for (int letter : {'A', 'B', 'C', 'D', 'E'}) pending.push(bytes({0, 0, letter}));
  EXPECT_EQ(pending.size(), 3u);
  EXPECT_EQ(pending.dropped(), 2u);

  input_report buffer{};
  std::string order;
  while (pending.pop_into(buffer)) order += static_cast<char>(buffer[echo_byte]);
  EXPECT_EQ(order, "CDE");
}

TEST(UsbPendingReports, NothingPendingLeavesTheBufferAsItWas) {
  pending_reports pending;
  input_report buffer{};
  buffer[echo_byte] = 'T';
  EXPECT_FALSE(pending.pop_into(buffer));
  EXPECT_EQ(buffer[echo_byte], 'T');

  pending.push(bytes({1, 2, 3}));
  EXPECT_FALSE(pending.pop_into(std::span<std::uint8_t>{})) << "an empty buffer must not consume";
  EXPECT_EQ(pending.size(), 1u);
}

TEST(UsbDeviceTable, HandlesAreNonZeroAndNeverGivenToAnotherDevice) {
  device_table table;
  const device_handle first = table.add(vendor_id, product_id, "/dev/hidraw0");
  EXPECT_NE(first, 0u);
  ASSERT_TRUE(table.detach(first));
  EXPECT_FALSE(table.detach(first));

  // The same head plugged in again on the same node is a new device instance.
  const device_handle second = table.add(vendor_id, product_id, "/dev/hidraw0");
  EXPECT_NE(second, 0u);
  EXPECT_NE(second, first);
  EXPECT_EQ(table.attached_handle(vendor_id, product_id), second);
  EXPECT_EQ(table.attached_handle("/dev/hidraw0"), second);
}

TEST(UsbDeviceTable, GoneDeviceKeepsItsIdsButNoReports) {
  device_table table;
  const device_handle h = table.add(vendor_id, 0x1234, "/dev/hidraw3");
  table.find(h)->pending.push(bytes({1, 2, 3}));
  table.find(h)->read_notify = true;
  table.detach(h);

  // The unplugged notification still asks for the vendor of the device that went.
  const auto* e = table.find(h);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->vendor, vendor_id);
  EXPECT_EQ(e->product, 0x1234);
  EXPECT_FALSE(e->attached);
  EXPECT_FALSE(e->read_notify);
  EXPECT_TRUE(e->pending.empty());
  EXPECT_EQ(table.attached_handle(vendor_id, 0x1234), 0u);
  EXPECT_TRUE(table.attached_handles().empty());
}

TEST(UsbDeviceTable, HandleByIdsIsTheFirstAttachedMatch) {
  device_table table;
  const device_handle other = table.add(vendor_id, 1, "/dev/hidraw0");
  const device_handle head_a = table.add(vendor_id, product_id, "/dev/hidraw1");
  const device_handle head_b = table.add(vendor_id, product_id, "/dev/hidraw2");
  EXPECT_EQ(table.attached_handle(vendor_id, product_id), head_a);
  table.detach(head_a);
  EXPECT_EQ(table.attached_handle(vendor_id, product_id), head_b);
  EXPECT_EQ(table.attached_handle(vendor_id, 1), other);
  EXPECT_EQ(table.attached_handle(0, 0), 0u);
  EXPECT_EQ(table.find(999), nullptr);
}

TEST(UsbWireReport, SendsReportIdAndEightDataBytes) {
  output_report out{};
  out[1] = cmd_x;
  out[2] = 170;
  out[8] = 0x55;
  out[9] = 0xaa;  // never on the wire
  const wire_report wire = make_wire_report(out);
  EXPECT_EQ(wire, (wire_report{0, 'X', 170, 0, 0, 0, 0, 0, 0x55}));

  EXPECT_EQ(make_wire_report(bytes({0, 'L', 4})), (wire_report{0, 'L', 4, 0, 0, 0, 0, 0, 0}));
}

TEST(UsbOpenFailureMessage, PermissionProblemNamesTheUdevRule) {
  const std::string denied = open_failure_message(true, "whatever");
  EXPECT_NE(denied.find("permission denied"), std::string::npos);
  EXPECT_NE(denied.find(udev_rule_name), std::string::npos);

  const std::string busy = open_failure_message(false, "Device or resource busy");
  EXPECT_NE(busy.find("Device or resource busy"), std::string::npos);
  EXPECT_EQ(busy.find(udev_rule_name), std::string::npos);
}

TEST(UsbTransport, WithoutADeviceEveryDeviceCallFailsQuietly) {
  usb_transport transport;
  input_report buffer{};
  buffer[echo_byte] = 'S';
  const output_report out{0, cmd_t};

  EXPECT_FALSE(transport.read(1, buffer));
  EXPECT_FALSE(transport.read(0, buffer));
  EXPECT_EQ(buffer[echo_byte], 'S');
  EXPECT_FALSE(transport.write(vendor_id, product_id, out));
  EXPECT_FALSE(transport.set_read_notify(0, true));
  EXPECT_EQ(transport.handle(vendor_id, product_id), 0u);
  EXPECT_EQ(transport.vendor_id(42), 0);
  EXPECT_EQ(transport.product_id(42), 0);
}

TEST(UsbTransport, DisconnectIsHarmlessTwiceAndWithoutConnect) {
  usb_transport never_connected;
  EXPECT_TRUE(never_connected.disconnect());
  EXPECT_TRUE(never_connected.disconnect());

  usb_transport transport;
  recording_target target;
  ASSERT_TRUE(transport.connect(target));
  EXPECT_TRUE(transport.disconnect());
  EXPECT_TRUE(transport.disconnect());
  // Whatever was found at connect, nothing reaches the target once disconnected.
  process_events_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(target.events.empty());
}

TEST(UsbTransport, ConnectWithNoHeadReportsNothingAndStopsPromptly) {
  std::vector<std::string> status;
  usb_transport transport([&status](const std::string& text) { status.push_back(text); });
  recording_target target;

  ASSERT_TRUE(transport.connect(target));
  EXPECT_TRUE(target.events.empty()) << "notifications are never delivered inside connect";
  process_events_for(std::chrono::milliseconds(300));
  if (transport.handle(vendor_id, product_id) != 0 || !status.empty())
    GTEST_SKIP() << "a scanning head is attached";

  EXPECT_TRUE(target.events.empty());
  EXPECT_FALSE(transport.write(vendor_id, product_id, output_report{0, cmd_x, 170}));

  QElapsedTimer timer;
  timer.start();
  transport.disconnect();
  EXPECT_LT(timer.elapsed(), 1000);
}

}  // namespace
}  // namespace brevane::device
