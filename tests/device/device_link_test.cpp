#include "device/device_link.h"

#include <gtest/gtest.h>

#include <map>

#include "device/command_exchange.h"
#include "device/report_trace.h"
#include "support/memory_panel.h"

namespace brevane {
namespace {

using namespace device;

// A transport with any devices the test describes; notifications are called directly.
class device_table : public transport {
 public:
  struct entry {
    int vendor;
    int product;
  };
  bool connect(notification_target&) override {
    ++connects;
    return true;
  }
  bool disconnect() override {
    ++disconnects;
    return true;
  }
  int vendor_id(device_handle h) const override {
    return devices.count(h) ? devices.at(h).vendor : 0;
  }
  int product_id(device_handle h) const override {
    return devices.count(h) ? devices.at(h).product : 0;
  }
  device_handle handle(int v, int p) const override {
    for (auto& [h, e] : devices)
      if (e.vendor == v && e.product == p) return h;
    return 0;
  }
  bool set_read_notify(device_handle h, bool enable) override {
    notify_calls.push_back({h, enable});
    return h != 0;
  }
  bool read(device_handle, std::span<std::uint8_t> buffer) override {
    if (!read_ok) return false;
    std::copy(report.begin(), report.end(), buffer.begin());
    return true;
  }
  bool write(int, int, std::span<const std::uint8_t>) override { return true; }

  std::map<device_handle, entry> devices;
  std::vector<std::pair<device_handle, bool>> notify_calls;
  bool read_ok = true;
  input_report report{0, 1, 2, 'T', 4, 5, 6, 7, 8};
  int connects = 0, disconnects = 0;
};

struct link_fixture : ::testing::Test {
  device_table table;
  command_exchange exchange{table};
  testing::memory_panel window;
  device_link link{table, exchange, window};
};

TEST_F(link_fixture, PluggedHeadSetsUpAndRunningOtherProductsLeaveTheCaption) {
  table.devices[1] = {vendor_id, product_id};
  table.devices[2] = {vendor_id, 1};
  table.devices[3] = {0x1234, product_id};
  link.OnPlugged(2);
  link.OnPlugged(3);
  EXPECT_EQ(window.caption(), "Brevane version 1.00");
  link.OnPlugged(1);
  EXPECT_EQ(window.caption(), "Up and Running");
}

TEST_F(link_fixture, UnpluggingAnyDeviceOfTheVendorSaysNotPresent) {
  table.devices[2] = {vendor_id, 1};
  table.devices[3] = {0x1234, product_id};
  window.set_caption("Up and Running");
  link.OnUnplugged(3);
  EXPECT_EQ(window.caption(), "Up and Running");
  link.OnUnplugged(2);
  EXPECT_EQ(window.caption(), "Vexilor II not present");
}

TEST_F(link_fixture, ChangedEnablesReadNotifyWhetherOrNotTheHeadIsThere) {
  link.OnChanged();
  table.devices[5] = {vendor_id, product_id};
  link.OnChanged();
  ASSERT_EQ(table.notify_calls.size(), 2u);
  EXPECT_EQ(table.notify_calls[0], std::make_pair(device_handle{0}, true));
  EXPECT_EQ(table.notify_calls[1], std::make_pair(device_handle{5}, true));
}

TEST_F(link_fixture, ReadStoresTheReportAndSetsTheFlagOnlyWhenItSucceeds) {
  table.read_ok = false;
  exchange.input()[3] = 'Q';
  link.OnRead(1);
  EXPECT_EQ(exchange.dataread, 0);
  EXPECT_EQ(exchange.input()[3], 'Q');
  table.read_ok = true;
  link.OnRead(1);
  EXPECT_EQ(exchange.dataread, 1);
  EXPECT_EQ(exchange.input(), table.report);
}

TEST_F(link_fixture, DisconnectTwiceIsHarmless) {
  link.connect_link();
  EXPECT_TRUE(link.disconnect_link());
  EXPECT_TRUE(link.disconnect_link());
  EXPECT_EQ(table.connects, 1);
  EXPECT_EQ(table.disconnects, 1);
}

TEST(ReportTrace, WritesOneLowerCaseHexLinePerReport) {
  const output_report out{0, 'X', 0xaa};
  EXPECT_EQ(report_trace::format("out", out), "out 00 58 aa 00 00 00 00 00 00 00 00");
  const input_report in{0, 0, 0, 'T', 0xb8, 0x01};
  EXPECT_EQ(report_trace::format("in", in), "in 00 00 00 54 b8 01 00 00 00");
}

}  // namespace
}  // namespace brevane
