// Runs the real program against a head that umockdev emulates below hidapi, the head played by
// the simulated head's logic: the hidraw node, its udev events and the transport's threads,
// on a machine without the hardware. umockdev's preload must be in the process from its start:
//   umockdev-wrapper build/tests/brevane_on_emulated_head [--head=OPTIONS] PROGRAM [OPTION]...
// OPTIONS are those of --simulate (latency=MS, silent-after=N, ...). The program inherits the
// emulated machine and sees one head plugged in; its exit status is this one's.
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <array>
#include <iostream>
#include <vector>

#include "device/device_constants.h"
#include "device/simulated_head.h"
#include "usb_emulated/emulated_head.h"

namespace {

using namespace brevane;

// Hands each report the program writes to the node to the simulated head, and each of its
// answers back to the program as the head's input report.
class bridge : public device::notification_target {
 public:
  bridge(testing::emulated_head& usb, device::simulated_head& sim) : usb_(usb), sim_(sim) {}

  void OnPlugged(device::device_handle handle) override { sim_.set_read_notify(handle, true); }
  void OnUnplugged(device::device_handle) override {}
  void OnChanged() override {}
  void OnRead(device::device_handle handle) override {
    device::input_report in{};
    // The node carries the data without the report id.
    while (sim_.read(handle, in)) usb_.answer(std::span(in).subspan(1));
  }

  // The pty is a stream: a write of the report id and 8 bytes may arrive split or joined.
  void written(std::span<const std::uint8_t> bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    constexpr std::size_t sent = 9;  // the report id and the head's 8-byte output report
    while (pending_.size() >= sent) {
      device::output_report report{};
      std::copy_n(pending_.begin(), sent, report.begin());
      pending_.erase(pending_.begin(), pending_.begin() + sent);
      sim_.write(device::vendor_id, device::product_id, report);
    }
  }

 private:
  testing::emulated_head& usb_;
  device::simulated_head& sim_;
  std::vector<std::uint8_t> pending_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList arguments = app.arguments().mid(1);
  device::simulated_head_options options;
  if (!arguments.isEmpty() && arguments.first().startsWith(QLatin1String("--head="))) {
    std::string why;
    const auto parsed =
        device::parse_simulated_head_options(arguments.takeFirst().mid(7).toStdString(), &why);
    if (!parsed) {
      std::cerr << "brevane_on_emulated_head: --head: " << why << "\n";
      return 2;
    }
    options = *parsed;
  }
  if (arguments.isEmpty()) {
    std::cerr << "usage: umockdev-wrapper brevane_on_emulated_head [--head=OPTIONS] PROGRAM "
                 "[OPTION]...\n";
    return 2;
  }

  testing::emulated_head usb("EMU1");
  if (!usb.emulating() || !usb.plug()) {
    std::cerr << "brevane_on_emulated_head: no emulated machine; run it under umockdev-wrapper\n";
    return 2;
  }
  device::simulated_head sim(options);
  bridge link(usb, sim);
  sim.connect(link);

  QSocketNotifier from_program(usb.head_fd(), QSocketNotifier::Read);
  QObject::connect(&from_program, &QSocketNotifier::activated, [&] {
    std::array<std::uint8_t, 256> chunk{};
    const ssize_t n = ::read(usb.head_fd(), chunk.data(), chunk.size());
    if (n > 0) link.written(std::span(chunk).first(static_cast<std::size_t>(n)));
  });

  QProcess program;
  program.setProcessChannelMode(QProcess::ForwardedChannels);
  program.setInputChannelMode(QProcess::ForwardedInputChannel);
  QObject::connect(&program, &QProcess::finished, &app, [&](int code, QProcess::ExitStatus how) {
    app.exit(how == QProcess::NormalExit ? code : 128 + code);
  });
  QObject::connect(&program, &QProcess::errorOccurred, &app, [&](QProcess::ProcessError e) {
    if (e != QProcess::FailedToStart) return;
    std::cerr << "brevane_on_emulated_head: " << program.errorString().toStdString() << "\n";
    app.exit(2);
  });
  const QString name = arguments.takeFirst();
  program.start(name, arguments);
  return app.exec();
}
